#pragma once

#include "PasswordHash.h"

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace melodrift::service {

struct User {
    int32_t id = 0;
    std::string name;
    std::string nickname;
    StoredPassword password;
    int32_t balance = 0, popularity = 0, fans = 0;
};

struct StyleRow {
    int32_t id = 0;
    int32_t revision = 0;
    std::vector<uint8_t> detail;
    std::vector<uint8_t> data;
    size_t size = 0; // of the data, also when it was not read
};

struct NoticeRow {
    int32_t id = 0;
    int32_t owner = 0;
    int16_t kind = 0;
    std::string title, text;
};

struct QuestionRow {
    int32_t id = 0;
    int32_t owner = 0;
    int32_t state = 0; // 0 open, 1 answered privately, 6 public, 5 deleted
    std::string question, answer;
    int32_t stamp = 0;
};

struct Versions {
    uint16_t current[4] = {0, 0, 0, 0};
    uint16_t minimum[4] = {0, 0, 0, 0};
    std::string text;
};

// The service's storage in one SQLite file. Not thread-safe: the server
// uses it from its one loop thread; admin commands open their own.
class Database {
public:
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // users
    std::optional<User> FindUser(const std::string& name);
    std::optional<int32_t> AddUser(const std::string& name, const std::string& nickname, const StoredPassword& pw);
    int32_t SongCount(int32_t userId);

    // styles
    int32_t StyleStamp();
    std::vector<StyleRow> StyleList(); // id and revision and data size only
    std::optional<StyleRow> Style(int32_t id, bool withData);
    // Bytes [from, from + count) of a style's data while it still has that
    // revision; false otherwise.
    bool StyleDataRange(int32_t id, int32_t revision, size_t from, size_t count, std::vector<uint8_t>& out);
    // Inserts or replaces; returns true when something changed.
    bool PublishStyle(int32_t id, const std::vector<uint8_t>& detail, const std::vector<uint8_t>& data);
    void SetRecommended(const std::vector<int32_t>& ids);
    std::vector<int32_t> Recommended();

    // songs
    int32_t AddSong(int32_t userId, const std::vector<uint8_t>& info, const std::vector<uint8_t>& data);
    int32_t SongLimit();
    void SetSongLimit(int32_t limit);

    // notices
    int32_t AddNotice(int32_t owner, int16_t kind, const std::string& title, const std::string& text);
    bool DeleteNotice(int32_t id);
    std::vector<NoticeRow> Notices(int32_t owner);

    // questions
    int32_t AddQuestion(int32_t owner, const std::string& text);
    bool AnswerQuestion(int32_t id, const std::string& answer, bool makePublic);
    bool DeleteQuestion(int32_t id);
    // Public questions changed after stamp, the owner's questions changed
    // after stamp or listed in ids, and deletions after stamp or listed; at
    // most limit of the changed ones, oldest change first. reached is the
    // stamp a client has after taking them (the current one unless cut).
    std::vector<QuestionRow> QuestionsFor(int32_t owner, int32_t stamp, const std::vector<int32_t>& ids,
                                          size_t limit, int32_t& reached);
    int32_t QuestionStamp();

    // versions
    Versions GetVersions();
    void SetVersions(const Versions& v);

    // generic
    int64_t Changes() const; // rows changed through this connection so far
    std::string Meta(const std::string& key, const std::string& fallback);
    void SetMeta(const std::string& key, const std::string& value);

    // Runs a change of several statements as one; rolls back when it throws.
    template <typename F> auto Atomically(F&& change)
    {
        Transaction t(*this);
        if constexpr (std::is_void_v<decltype(change())>) {
            change();
            t.Commit();
        } else {
            auto result = change();
            t.Commit();
            return result;
        }
    }

private:
    class Statement;
    class Transaction {
    public:
        explicit Transaction(Database& db);
        ~Transaction();
        void Commit();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

    private:
        Database& m_owner;
        bool m_done = false;
    };
    void Exec(const char* sql);
    int32_t NextQuestionStamp();
    sqlite3* m_db = nullptr;
};

} // namespace melodrift::service
