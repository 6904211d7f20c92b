#include "Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace melodrift::service {

// One prepared statement; finalised when it goes out of scope.
class Database::Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("SQL prepare: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement& Bind(int i, int64_t v)
    {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& Bind(int i, const std::string& v)
    {
        sqlite3_bind_text(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int i, const std::vector<uint8_t>& v)
    {
        sqlite3_bind_blob(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool Step()
    {
        int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw std::runtime_error(std::string("SQL step: ") + sqlite3_errmsg(m_db));
        return false;
    }
    int64_t Int(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string Text(int col) const
    {
        const unsigned char* t = sqlite3_column_text(m_stmt, col);
        return t != nullptr ? std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(m_stmt, col)))
                            : std::string();
    }
    std::vector<uint8_t> Blob(int col) const
    {
        const auto* b = static_cast<const uint8_t*>(sqlite3_column_blob(m_stmt, col));
        return b != nullptr ? std::vector<uint8_t>(b, b + sqlite3_column_bytes(m_stmt, col)) : std::vector<uint8_t>();
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

Database::Database(const std::string& path)
{
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) {
        std::string why = m_db != nullptr ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw std::runtime_error("cannot open " + path + ": " + why);
    }
    sqlite3_busy_timeout(m_db, 5000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT)");
    Exec("CREATE TABLE IF NOT EXISTS users(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT UNIQUE NOT NULL,"
         " nickname TEXT, salt TEXT, hash TEXT, iterations INTEGER, balance INTEGER DEFAULT 0,"
         " popularity INTEGER DEFAULT 0, fans INTEGER DEFAULT 0)");
    Exec("CREATE TABLE IF NOT EXISTS styles(id INTEGER PRIMARY KEY, revision INTEGER, detail BLOB, data BLOB,"
         " recommended INTEGER DEFAULT 0)");
    Exec("CREATE TABLE IF NOT EXISTS songs(id INTEGER PRIMARY KEY AUTOINCREMENT, user_id INTEGER, info BLOB,"
         " data BLOB, created INTEGER DEFAULT (strftime('%s','now')))");
    Exec("CREATE TABLE IF NOT EXISTS notices(id INTEGER PRIMARY KEY AUTOINCREMENT, owner INTEGER, kind INTEGER,"
         " title TEXT, text TEXT)");
    Exec("CREATE TABLE IF NOT EXISTS questions(id INTEGER PRIMARY KEY AUTOINCREMENT, owner INTEGER,"
         " state INTEGER, question TEXT, answer TEXT, stamp INTEGER)");
}

Database::~Database() { sqlite3_close(m_db); }

void Database::Exec(const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string why = error != nullptr ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error("SQL: " + why);
    }
}

std::string Database::Meta(const std::string& key, const std::string& fallback)
{
    Statement s(m_db, "SELECT value FROM meta WHERE key=?");
    s.Bind(1, key);
    return s.Step() ? s.Text(0) : fallback;
}

void Database::SetMeta(const std::string& key, const std::string& value)
{
    Statement s(m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    s.Bind(1, key).Bind(2, value).Step();
}

std::optional<User> Database::FindUser(const std::string& name)
{
    Statement s(m_db, "SELECT id, name, nickname, salt, hash, iterations, balance, popularity, fans FROM users"
                      " WHERE name=?");
    s.Bind(1, name);
    if (!s.Step())
        return std::nullopt;
    User u;
    u.id = int32_t(s.Int(0));
    u.name = s.Text(1);
    u.nickname = s.Text(2);
    u.password = {s.Text(3), s.Text(4), int(s.Int(5))};
    u.balance = int32_t(s.Int(6));
    u.popularity = int32_t(s.Int(7));
    u.fans = int32_t(s.Int(8));
    return u;
}

std::optional<int32_t> Database::AddUser(const std::string& name, const std::string& nickname,
                                         const StoredPassword& pw)
{
    if (FindUser(name))
        return std::nullopt;
    Statement s(m_db, "INSERT INTO users(name, nickname, salt, hash, iterations) VALUES(?, ?, ?, ?, ?)");
    s.Bind(1, name).Bind(2, nickname).Bind(3, pw.salt).Bind(4, pw.hash).Bind(5, pw.iterations).Step();
    return int32_t(sqlite3_last_insert_rowid(m_db));
}

int32_t Database::SongCount(int32_t userId)
{
    Statement s(m_db, "SELECT COUNT(*) FROM songs WHERE user_id=?");
    s.Bind(1, userId);
    return s.Step() ? int32_t(s.Int(0)) : 0;
}

int32_t Database::StyleStamp() { return std::stoi(Meta("style_stamp", "0")); }

std::vector<StyleRow> Database::StyleList()
{
    Statement s(m_db, "SELECT id, revision, length(data) FROM styles ORDER BY id");
    std::vector<StyleRow> rows;
    while (s.Step()) {
        StyleRow r;
        r.id = int32_t(s.Int(0));
        r.revision = int32_t(s.Int(1));
        r.data.resize(size_t(s.Int(2)));
        rows.push_back(std::move(r));
    }
    return rows;
}

std::optional<StyleRow> Database::Style(int32_t id, bool withData)
{
    Statement s(m_db, withData ? "SELECT id, revision, detail, data FROM styles WHERE id=?"
                               : "SELECT id, revision, detail, NULL FROM styles WHERE id=?");
    s.Bind(1, id);
    if (!s.Step())
        return std::nullopt;
    StyleRow r;
    r.id = int32_t(s.Int(0));
    r.revision = int32_t(s.Int(1));
    r.detail = s.Blob(2);
    if (withData)
        r.data = s.Blob(3);
    return r;
}

bool Database::PublishStyle(int32_t id, const std::vector<uint8_t>& detail, const std::vector<uint8_t>& data)
{
    auto old = Style(id, true);
    if (old && old->detail == detail && old->data == data)
        return false;
    int32_t revision = old ? old->revision + 1 : 1;
    Statement s(m_db, "INSERT OR REPLACE INTO styles(id, revision, detail, data, recommended) VALUES(?, ?, ?, ?,"
                      " COALESCE((SELECT recommended FROM styles WHERE id=?), 0))");
    s.Bind(1, id).Bind(2, revision).Bind(3, detail).Bind(4, data).Bind(5, id).Step();
    SetMeta("style_stamp", std::to_string(StyleStamp() + 1));
    return true;
}

void Database::SetRecommended(const std::vector<int32_t>& ids)
{
    Exec("UPDATE styles SET recommended=0");
    int order = 1;
    for (int32_t id : ids) {
        Statement s(m_db, "UPDATE styles SET recommended=? WHERE id=?");
        s.Bind(1, order++).Bind(2, id).Step();
    }
}

std::vector<int32_t> Database::Recommended()
{
    Statement s(m_db, "SELECT id FROM styles WHERE recommended>0 ORDER BY recommended");
    std::vector<int32_t> ids;
    while (s.Step())
        ids.push_back(int32_t(s.Int(0)));
    return ids;
}

int32_t Database::AddSong(int32_t userId, const std::vector<uint8_t>& info, const std::vector<uint8_t>& data)
{
    Statement s(m_db, "INSERT INTO songs(user_id, info, data) VALUES(?, ?, ?)");
    s.Bind(1, userId).Bind(2, info).Bind(3, data).Step();
    return int32_t(sqlite3_last_insert_rowid(m_db));
}

int32_t Database::SongLimit() { return std::stoi(Meta("song_limit", "100")); }
void Database::SetSongLimit(int32_t limit) { SetMeta("song_limit", std::to_string(limit)); }

int32_t Database::AddNotice(int32_t owner, int16_t kind, const std::string& title, const std::string& text)
{
    Statement s(m_db, "INSERT INTO notices(owner, kind, title, text) VALUES(?, ?, ?, ?)");
    s.Bind(1, owner).Bind(2, kind).Bind(3, title).Bind(4, text).Step();
    return int32_t(sqlite3_last_insert_rowid(m_db));
}

bool Database::DeleteNotice(int32_t id)
{
    Statement s(m_db, "DELETE FROM notices WHERE id=?");
    s.Bind(1, id).Step();
    return sqlite3_changes(m_db) > 0;
}

std::vector<NoticeRow> Database::Notices(int32_t owner)
{
    Statement s(m_db, "SELECT id, owner, kind, title, text FROM notices WHERE owner=? ORDER BY id");
    s.Bind(1, owner);
    std::vector<NoticeRow> rows;
    while (s.Step())
        rows.push_back({int32_t(s.Int(0)), int32_t(s.Int(1)), int16_t(s.Int(2)), s.Text(3), s.Text(4)});
    return rows;
}

int32_t Database::QuestionStamp() { return std::stoi(Meta("question_stamp", "0")); }

int32_t Database::NextQuestionStamp()
{
    int32_t next = QuestionStamp() + 1;
    SetMeta("question_stamp", std::to_string(next));
    return next;
}

int32_t Database::AddQuestion(int32_t owner, const std::string& text)
{
    int32_t stamp = NextQuestionStamp();
    Statement s(m_db, "INSERT INTO questions(owner, state, question, answer, stamp) VALUES(?, 0, ?, '', ?)");
    s.Bind(1, owner).Bind(2, text).Bind(3, stamp).Step();
    return int32_t(sqlite3_last_insert_rowid(m_db));
}

bool Database::AnswerQuestion(int32_t id, const std::string& answer, bool makePublic)
{
    int32_t stamp = NextQuestionStamp();
    Statement s(m_db, "UPDATE questions SET answer=?, state=?, stamp=? WHERE id=? AND state<>5");
    s.Bind(1, answer).Bind(2, makePublic ? 6 : 1).Bind(3, stamp).Bind(4, id).Step();
    return sqlite3_changes(m_db) > 0;
}

bool Database::DeleteQuestion(int32_t id)
{
    int32_t stamp = NextQuestionStamp();
    Statement s(m_db, "UPDATE questions SET state=5, question='', answer='', stamp=? WHERE id=? AND state<>5");
    s.Bind(1, stamp).Bind(2, id).Step();
    return sqlite3_changes(m_db) > 0;
}

std::vector<QuestionRow> Database::QuestionsFor(int32_t owner, int32_t stamp, const std::vector<int32_t>& ids)
{
    Statement s(m_db, "SELECT id, owner, state, question, answer, stamp FROM questions ORDER BY id");
    std::vector<QuestionRow> rows;
    while (s.Step()) {
        QuestionRow r{int32_t(s.Int(0)), int32_t(s.Int(1)), int32_t(s.Int(2)), s.Text(3), s.Text(4),
                      int32_t(s.Int(5))};
        bool listed = std::find(ids.begin(), ids.end(), r.id) != ids.end();
        bool changed = r.stamp > stamp;
        bool mine = owner != 0 && r.owner == owner;
        bool send = (r.state == 6 && changed) || (r.state == 5 && (changed || listed)) ||
                    (mine && (changed || listed));
        if (send)
            rows.push_back(std::move(r));
    }
    return rows;
}

Versions Database::GetVersions()
{
    Versions v;
    auto parse = [](const std::string& text, uint16_t* out) {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4) {
            out[0] = uint16_t(a);
            out[1] = uint16_t(b);
            out[2] = uint16_t(c);
            out[3] = uint16_t(d);
        }
    };
    parse(Meta("version_current", "1.0.0.0"), v.current);
    parse(Meta("version_minimum", "1.0.0.0"), v.minimum);
    v.text = Meta("version_text", "");
    return v;
}

void Database::SetVersions(const Versions& v)
{
    auto text = [](const uint16_t* n) {
        return std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
               std::to_string(n[3]);
    };
    SetMeta("version_current", text(v.current));
    SetMeta("version_minimum", text(v.minimum));
    SetMeta("version_text", v.text);
}

} // namespace melodrift::service
