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
    // Question sync looks rows up by change stamp and by owner.
    Exec("CREATE INDEX IF NOT EXISTS questions_by_stamp ON questions(stamp)");
    Exec("CREATE INDEX IF NOT EXISTS questions_by_owner ON questions(owner)");
}

Database::Transaction::Transaction(Database& db) : m_owner(db)
{
    // Inside another change this one is part of it.
    if (sqlite3_get_autocommit(db.m_db) == 0)
        m_done = true;
    else
        db.Exec("BEGIN IMMEDIATE"); // the admin commands write from another process
}

Database::Transaction::~Transaction()
{
    if (!m_done)
        sqlite3_exec(m_owner.m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Database::Transaction::Commit()
{
    if (m_done)
        return;
    m_owner.Exec("COMMIT");
    m_done = true;
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

int64_t Database::Changes() const { return sqlite3_total_changes64(m_db); }

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
    Transaction t(*this);
    if (FindUser(name))
        return std::nullopt;
    Statement s(m_db, "INSERT INTO users(name, nickname, salt, hash, iterations) VALUES(?, ?, ?, ?, ?)");
    s.Bind(1, name).Bind(2, nickname).Bind(3, pw.salt).Bind(4, pw.hash).Bind(5, pw.iterations).Step();
    auto id = int32_t(sqlite3_last_insert_rowid(m_db));
    t.Commit();
    return id;
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
        r.size = size_t(s.Int(2));
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
    r.size = r.data.size();
    return r;
}

bool Database::StyleDataRange(int32_t id, int32_t revision, size_t from, size_t count, std::vector<uint8_t>& out)
{
    Statement s(m_db, "SELECT revision FROM styles WHERE id=?");
    s.Bind(1, id);
    if (!s.Step() || s.Int(0) != revision)
        return false;
    // Only the asked part is read, not the whole style.
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(m_db, "main", "styles", "data", id, 0, &blob) != SQLITE_OK) {
        sqlite3_blob_close(blob);
        return false;
    }
    bool ok = from + count <= size_t(sqlite3_blob_bytes(blob));
    if (ok) {
        out.resize(count);
        ok = sqlite3_blob_read(blob, out.data(), int(count), int(from)) == SQLITE_OK;
    }
    sqlite3_blob_close(blob);
    return ok;
}

bool Database::PublishStyle(int32_t id, const std::vector<uint8_t>& detail, const std::vector<uint8_t>& data)
{
    Transaction t(*this);
    auto old = Style(id, true);
    if (old && old->detail == detail && old->data == data)
        return false;
    int32_t revision = old ? old->revision + 1 : 1;
    Statement s(m_db, "INSERT OR REPLACE INTO styles(id, revision, detail, data, recommended) VALUES(?, ?, ?, ?,"
                      " COALESCE((SELECT recommended FROM styles WHERE id=?), 0))");
    s.Bind(1, id).Bind(2, revision).Bind(3, detail).Bind(4, data).Bind(5, id).Step();
    SetMeta("style_stamp", std::to_string(StyleStamp() + 1));
    t.Commit();
    return true;
}

void Database::SetRecommended(const std::vector<int32_t>& ids)
{
    Transaction t(*this);
    Exec("UPDATE styles SET recommended=0");
    int order = 1;
    for (int32_t id : ids) {
        Statement s(m_db, "UPDATE styles SET recommended=? WHERE id=?");
        s.Bind(1, order++).Bind(2, id).Step();
    }
    t.Commit();
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
    Transaction t(*this); // the stamp is read and written while admins write too
    int32_t stamp = NextQuestionStamp();
    Statement s(m_db, "INSERT INTO questions(owner, state, question, answer, stamp) VALUES(?, 0, ?, '', ?)");
    s.Bind(1, owner).Bind(2, text).Bind(3, stamp).Step();
    auto id = int32_t(sqlite3_last_insert_rowid(m_db));
    t.Commit();
    return id;
}

bool Database::AnswerQuestion(int32_t id, const std::string& answer, bool makePublic)
{
    Transaction t(*this);
    int32_t stamp = NextQuestionStamp();
    Statement s(m_db, "UPDATE questions SET answer=?, state=?, stamp=? WHERE id=? AND state<>5");
    s.Bind(1, answer).Bind(2, makePublic ? 6 : 1).Bind(3, stamp).Bind(4, id).Step();
    bool changed = sqlite3_changes(m_db) > 0;
    if (changed) // an unknown id does not move the stamp
        t.Commit();
    return changed;
}

bool Database::DeleteQuestion(int32_t id)
{
    Transaction t(*this);
    int32_t stamp = NextQuestionStamp();
    Statement s(m_db, "UPDATE questions SET state=5, question='', answer='', stamp=? WHERE id=? AND state<>5");
    s.Bind(1, stamp).Bind(2, id).Step();
    bool changed = sqlite3_changes(m_db) > 0;
    if (changed)
        t.Commit();
    return changed;
}

std::vector<QuestionRow> Database::QuestionsFor(int32_t owner, int32_t stamp, const std::vector<int32_t>& ids,
                                                size_t limit, int32_t& reached)
{
    // One read transaction: the rows and the stamp agree.
    Transaction t(*this);
    auto row = [](const Statement& s) {
        return QuestionRow{int32_t(s.Int(0)), int32_t(s.Int(1)), int32_t(s.Int(2)), s.Text(3), s.Text(4),
                           int32_t(s.Int(5))};
    };
    std::vector<QuestionRow> rows;
    reached = QuestionStamp();
    Statement changed(m_db, "SELECT id, owner, state, question, answer, stamp FROM questions"
                            " WHERE stamp>?1 AND (state IN (5, 6) OR (?2<>0 AND owner=?2)) ORDER BY stamp, id"
                            " LIMIT ?3");
    changed.Bind(1, stamp).Bind(2, owner).Bind(3, int64_t(limit) + 1);
    while (changed.Step())
        rows.push_back(row(changed));
    if (rows.size() > limit) {
        // Cut between stamps, so the next sync starts where this one ended.
        int32_t last = rows[limit - 1].stamp;
        while (!rows.empty() && rows.back().stamp > last)
            rows.pop_back();
        if (limit > 0 && !rows.empty())
            reached = last;
        else
            reached = stamp;
    }
    for (int32_t id : ids) {
        if (std::any_of(rows.begin(), rows.end(), [&](const QuestionRow& r) { return r.id == id; }))
            continue;
        Statement listed(m_db, "SELECT id, owner, state, question, answer, stamp FROM questions"
                               " WHERE id=?1 AND (state=5 OR (?2<>0 AND owner=?2))");
        listed.Bind(1, id).Bind(2, owner);
        if (listed.Step())
            rows.push_back(row(listed));
    }
    std::sort(rows.begin(), rows.end(), [](const QuestionRow& a, const QuestionRow& b) { return a.id < b.id; });
    t.Commit();
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
    // Until the admin announces versions, no client is asked to update.
    parse(Meta("version_current", "0.0.0.0"), v.current);
    parse(Meta("version_minimum", "0.0.0.0"), v.minimum);
    v.text = Meta("version_text", "");
    return v;
}

void Database::SetVersions(const Versions& v)
{
    Transaction t(*this);
    auto text = [](const uint16_t* n) {
        return std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
               std::to_string(n[3]);
    };
    SetMeta("version_current", text(v.current));
    SetMeta("version_minimum", text(v.minimum));
    SetMeta("version_text", v.text);
    t.Commit();
}

} // namespace melodrift::service
