#include "Dispatcher.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace melodrift::service {

using namespace tidelink;

namespace {

constexpr uint16_t kServerFault = 32771;
constexpr uint16_t kBadPassword = 32773;
constexpr uint16_t kUnknownUser = 32774;
constexpr uint16_t kNoUser = 32775;
constexpr uint16_t kBadStyle = 32776;
constexpr uint16_t kTransferFailed = 32781;
constexpr uint16_t kLimitReached = 32784;
constexpr uint16_t kNameTaken = 32786;
constexpr uint16_t kBadFile = 32787;
constexpr uint16_t kUploadComplete = 5;
constexpr int32_t kInfoBlock = 28;
constexpr size_t kSongInfo = 1008;
constexpr size_t kUploadPiece = 1400;
constexpr size_t kMaxListedIds = 80;
constexpr size_t kMaxQuestion = 4000;

std::string Field(const Message& m, size_t at, size_t capacity)
{
    if (at >= m.bodyLength)
        return {};
    size_t room = std::min<size_t>(capacity, m.bodyLength - at);
    const char* p = reinterpret_cast<const char*>(m.body.data() + at);
    return std::string(p, strnlen(p, room));
}

bool IsDigest(const std::string& s)
{
    return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::vector<int32_t> ListedIds(const Message& in, size_t countIndex)
{
    int32_t n = in.Int(countIndex);
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < n && size_t(i) < kMaxListedIds; ++i)
        ids.push_back(in.Int(countIndex + 1 + size_t(i)));
    return ids;
}

void AppendInt32(std::vector<uint8_t>& out, int32_t v)
{
    uint8_t raw[4];
    PutInt32(raw, v);
    out.insert(out.end(), raw, raw + 4);
}

void AppendText(std::vector<uint8_t>& out, const std::string& s)
{
    AppendInt32(out, int32_t(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

} // namespace

Dispatcher::Dispatcher(Database& db, Limits limits)
    : m_db(db), m_limits(limits), m_sources(limits.sources)
{
    // A user that does not exist costs a login the same hash as one that does.
    m_standIn = HashDigest(std::string(64, '0'), m_limits.hashIterations);
    if (m_limits.hashWorkers > 0)
        m_pool = std::make_unique<HashPool>(m_limits.hashWorkers, m_limits.hashQueue, [this] {
            int fd = m_wakeFd.load();
            if (fd >= 0) {
                char c = 2;
                [[maybe_unused]] ssize_t n = ::write(fd, &c, 1);
            }
        });
}

Dispatcher::~Dispatcher() = default;

Dispatcher::Outcome Dispatcher::Handle(const std::string& peer, const Message& request, Message& reply)
{
    // Only requests (odd ids) of the catalogue are answered.
    reply = Message{};
    reply.sequence = request.sequence;
    reply.id = uint16_t(request.id + 1);
    uint16_t code = 0;
    Outcome outcome = Outcome::Reply;
    try {
        switch (request.id) {
        case kProbe: code = 0; reply.sequence = 0; break;
        case kGreeting: code = Greeting(request, reply); break;
        case kLogin: outcome = Login(peer, request, reply, code); break;
        case kRegister: outcome = Register(peer, request, reply, code); break;
        case kStyleList: code = StyleList(peer, request, reply); break;
        case kStyleDetail: code = StyleDetail(request, reply); break;
        case kStyleData: code = StyleData(peer, request, reply); break;
        case kRecommended: code = Recommended(reply); break;
        case kUploadStart: code = UploadStart(peer, request, reply); break;
        case kUploadChunk: code = UploadChunk(peer, request, reply); break;
        case kFetchChunk: code = FetchChunk(peer, request, reply); break;
        case kQuestionSync: code = QuestionSync(peer, request, reply); break;
        case kSubmitQuestion: code = SubmitQuestion(peer, request, reply); break;
        case kNoticeSync: code = NoticeSync(peer, request, reply); break;
        default: return Outcome::Drop;
        }
    } catch (const std::exception&) {
        reply.bodyLength = 0;
        code = kServerFault;
        outcome = Outcome::Reply;
    }
    reply.code = code;
    return outcome;
}

std::vector<Dispatcher::Finished> Dispatcher::TakeFinished()
{
    std::vector<Finished> out;
    if (!m_pool)
        return out;
    for (HashJob& job : m_pool->TakeFinished()) {
        if (SourceState* s = m_sources.Find(SourceOf(job.peer)); s != nullptr && s->hashesInFlight > 0)
            --s->hashesInFlight;
        Finished f;
        f.peer = job.peer;
        f.reply.sequence = job.request.sequence;
        f.reply.id = uint16_t(job.request.id + 1);
        try {
            f.reply.code = FinishHash(job, f.reply);
        } catch (const std::exception&) {
            f.reply.bodyLength = 0;
            f.reply.code = kServerFault;
        }
        out.push_back(std::move(f));
    }
    return out;
}

void Dispatcher::Forget(const std::string& peer)
{
    m_sessions.erase(peer);
    for (auto at = m_outgoing.begin(); at != m_outgoing.end();)
        at->second.peer == peer ? DropTransfer(at++) : void(++at);
    for (auto at = m_uploads.begin(); at != m_uploads.end();)
        at->second.peer == peer ? DropUpload(at++) : void(++at);
}

void Dispatcher::Expire()
{
    auto now = Clock::now();
    for (auto at = m_outgoing.begin(); at != m_outgoing.end();)
        at->second.expires < now ? DropTransfer(at++) : void(++at);
    for (auto at = m_uploads.begin(); at != m_uploads.end();)
        at->second.expires < now ? DropUpload(at++) : void(++at);
    std::erase_if(m_sessions, [&](const auto& e) { return now - e.second.used > m_limits.sessionIdle; });
    std::erase_if(m_accountLogins, [&](const auto& e) {
        return !e.second.Blocked(now) && now - e.second.lastFailure > m_limits.loginBackoffLongest;
    });
}

int64_t Dispatcher::AccountKey(int32_t account, bool proven) { return int64_t(account) * 2 + (proven ? 1 : 0); }

int32_t Dispatcher::NewHandle()
{
    // A handle that is hard to guess and never 0 or negative.
    do {
        m_handleSeed = m_handleSeed * 1103515245u + 12345u + uint32_t(Clock::now().time_since_epoch().count());
    } while ((m_handleSeed & 0x7FFFFFFF) == 0 || m_outgoing.count(int32_t(m_handleSeed & 0x7FFFFFFF)) != 0 ||
             m_uploads.count(int32_t(m_handleSeed & 0x7FFFFFFF)) != 0);
    return int32_t(m_handleSeed & 0x7FFFFFFF);
}

int32_t Dispatcher::SessionUser(const std::string& peer)
{
    auto at = m_sessions.find(peer);
    if (at == m_sessions.end())
        return 0;
    auto now = Clock::now();
    if (now - at->second.used > m_limits.sessionIdle) {
        m_sessions.erase(at);
        return 0;
    }
    at->second.used = now; // use keeps a login alive
    return at->second.user;
}

void Dispatcher::Release(const std::string& source)
{
    auto at = m_held.find(source);
    if (at != m_held.end() && at->second.transfers == 0 && at->second.uploads == 0)
        m_held.erase(at);
}

void Dispatcher::DropTransfer(std::map<int32_t, Outgoing>::iterator at)
{
    Outgoing& o = at->second;
    Held& h = m_held[o.source];
    h.transfers--;
    h.bytes -= o.bytes.size();
    m_heldBytes -= o.bytes.size();
    std::erase(h.handles, at->first);
    if (!o.fetched)
        m_unfetched.erase(o.unfetchedAt);
    std::string source = o.source;
    m_outgoing.erase(at);
    Release(source);
}

void Dispatcher::DropUpload(std::map<int32_t, Upload>::iterator at)
{
    Held& h = m_held[at->second.source];
    h.uploads--;
    h.uploadBytes -= at->second.total;
    m_uploadBytes -= at->second.total;
    std::string source = at->second.source;
    m_uploads.erase(at);
    Release(source);
}

bool Dispatcher::DropUnfetched(const std::string* source)
{
    if (source == nullptr) {
        if (m_unfetched.empty())
            return false;
        DropTransfer(m_outgoing.find(m_unfetched.front()));
        return true;
    }
    auto held = m_held.find(*source);
    if (held == m_held.end())
        return false;
    for (int32_t handle : held->second.handles) {
        auto at = m_outgoing.find(handle);
        if (at != m_outgoing.end() && !at->second.fetched) {
            DropTransfer(at);
            return true;
        }
    }
    return false;
}

int32_t Dispatcher::Offer(const std::string& peer, Outgoing transfer)
{
    // Transfers nobody fetched yet are the first to go: a source that never
    // reads its replies (a spoofed one) cannot crowd out those that do.
    std::string source = SourceOf(peer);
    size_t owned = transfer.bytes.size();
    auto over = [&](bool global) {
        const Held& h = m_held[source];
        if (global)
            return m_outgoing.size() >= m_limits.maxTransfers || m_heldBytes + owned > m_limits.maxHeldBytes;
        return h.transfers >= m_limits.maxTransfersPerSource || h.bytes + owned > m_limits.maxHeldBytesPerSource;
    };
    while (over(false) && DropUnfetched(&source)) {
    }
    while (over(true) && DropUnfetched(nullptr)) {
    }
    if (over(false) || over(true)) {
        Release(source);
        return 0;
    }
    int32_t handle = NewHandle();
    transfer.peer = peer;
    transfer.source = source;
    transfer.expires = Clock::now() + m_limits.unfetchedLife;
    transfer.fetched = false;
    m_unfetched.push_back(handle);
    transfer.unfetchedAt = std::prev(m_unfetched.end());
    Held& h = m_held[source];
    h.transfers++;
    h.bytes += owned;
    h.handles.push_back(handle);
    m_heldBytes += owned;
    m_outgoing.emplace(handle, std::move(transfer));
    return handle;
}

const std::map<int32_t, Dispatcher::StyleEntry>& Dispatcher::StyleIndex()
{
    // The library changes only by publishing, which moves the stamp. A
    // change through this connection is seen at once, one by the admin
    // commands within a fifth of a second (a fetch checks the revision).
    auto now = Clock::now();
    int64_t changes = m_db.Changes();
    if (m_stylesStamp >= 0 && changes == m_stylesChanges && now - m_stylesChecked < std::chrono::milliseconds(200))
        return m_styles;
    m_stylesChecked = now;
    m_stylesChanges = changes;
    int32_t stamp = m_db.StyleStamp();
    if (stamp != m_stylesStamp) {
        m_styles.clear();
        for (const StyleRow& r : m_db.StyleList())
            m_styles[r.id] = {r.revision, r.size};
        m_stylesStamp = stamp;
    }
    return m_styles;
}

const Versions& Dispatcher::CurrentVersions()
{
    auto now = Clock::now();
    if (!m_versions || now - m_versionsRead >= std::chrono::seconds(1)) {
        m_versions = m_db.GetVersions();
        m_versionsRead = now;
    }
    return *m_versions;
}

uint16_t Dispatcher::Greeting(const Message& in, Message& out)
{
    const Versions& v = CurrentVersions();
    uint32_t a = uint32_t(in.Int(0)), b = uint32_t(in.Int(1));
    uint16_t client[4] = {uint16_t(a >> 16), uint16_t(a), uint16_t(b >> 16), uint16_t(b)};
    auto less = [](const uint16_t* x, const uint16_t* y) { return std::lexicographical_compare(x, x + 4, y, y + 4); };
    BodyWriter body(out);
    body.Int32(int32_t(uint32_t(v.current[0]) << 16 | v.current[1]));
    body.Int32(int32_t(uint32_t(v.current[2]) << 16 | v.current[3]));
    body.Int32(int32_t(uint32_t(v.minimum[0]) << 16 | v.minimum[1]));
    body.Int32(int32_t(uint32_t(v.minimum[2]) << 16 | v.minimum[3]));
    std::string text = v.text.substr(0, 1000);
    body.Int32(int32_t(text.size()));
    body.Bytes(text.data(), text.size());
    if (less(client, v.minimum))
        return 3;
    if (less(client, v.current))
        return 2;
    return 0;
}

Dispatcher::Outcome Dispatcher::StartHash(HashJob job, Message& out, uint16_t& code)
{
    if (!m_pool) {
        HashPool::Run(job);
        code = FinishHash(job, out);
        return Outcome::Reply;
    }
    SourceState& source = m_sources.Touch(SourceOf(job.peer));
    if (source.hashesInFlight > 0)
        return Outcome::Drop; // a retry while its hash runs
    if (!source.proven) {
        // Hashes for sources that may be forged share a small budget, so a
        // flood of logins cannot keep the workers (and the processor) busy.
        auto now = Clock::now();
        double rate = m_limits.unprovenHashesPerSecond;
        m_hashTokens = m_hashRefilled == Clock::time_point{}
                           ? rate
                           : std::min(rate, m_hashTokens + std::chrono::duration<double>(now - m_hashRefilled).count() * rate);
        m_hashRefilled = now;
        if (m_hashTokens < 1.0)
            return Outcome::Drop;
        m_hashTokens -= 1.0;
    }
    // Sources known to read their replies wait in a queue of their own that
    // runs first: forged senders only ever fill the other one.
    if (!m_pool->Submit(std::move(job), source.proven))
        return Outcome::Drop;
    source.hashesInFlight++;
    return Outcome::Pending;
}

uint16_t Dispatcher::FinishHash(HashJob& job, Message& out)
{
    if (job.failed)
        return kServerFault;
    return job.kind == HashJob::Kind::Verify ? FinishLogin(job, out) : FinishRegister(job, out);
}

Dispatcher::Outcome Dispatcher::Login(const std::string& peer, const Message& in, Message& out, uint16_t& code)
{
    std::string name = Field(in, 0, 32), digest = Field(in, 32, 65);
    auto now = Clock::now();
    SourceState& source = m_sources.Touch(SourceOf(peer));
    if (source.logins.Blocked(now)) {
        code = kServerFault; // "try again later"
        return Outcome::Reply;
    }
    auto user = m_db.FindUser(name);
    if (user) {
        // Failures from sources that never showed they read replies (maybe
        // forged) hold back only such sources, so they cannot lock a user
        // out; failures from the others hold back everyone.
        auto blocked = [&](bool proven) {
            auto at = m_accountLogins.find(AccountKey(user->id, proven));
            return at != m_accountLogins.end() && at->second.Blocked(now);
        };
        if (blocked(true) || (!source.proven && blocked(false))) {
            code = kServerFault;
            return Outcome::Reply;
        }
    }
    HashJob job;
    job.kind = HashJob::Kind::Verify;
    job.peer = peer;
    job.request = in;
    // A digest that is not one is checked like any other, so it costs and
    // counts the same as a wrong password.
    job.digest = IsDigest(digest) ? digest : std::string(64, 'x');
    job.stored = user ? user->password : m_standIn;
    job.userId = user && IsDigest(digest) ? user->id : 0;
    if (user && !IsDigest(digest))
        job.userId = -user->id; // known user, never a match
    return StartHash(std::move(job), out, code);
}

uint16_t Dispatcher::FinishLogin(HashJob& job, Message& out)
{
    auto now = Clock::now();
    SourceState& source = m_sources.Touch(SourceOf(job.peer));
    int32_t account = job.userId < 0 ? -job.userId : job.userId;
    if (!job.matched) {
        source.logins.Fail(now, m_limits.loginAllowance, m_limits.loginBackoff, m_limits.loginBackoffLongest);
        if (account == 0)
            return kUnknownUser;
        m_accountLogins[AccountKey(account, source.proven)].Fail(now, m_limits.loginAllowance, m_limits.loginBackoff,
                                                                 m_limits.loginBackoffLongest);
        return kBadPassword;
    }
    auto user = m_db.FindUser(Field(job.request, 0, 32));
    if (!user || user->id != account)
        return kUnknownUser; // gone while its hash ran
    source.logins.Succeed();
    m_accountLogins.erase(AccountKey(account, true));
    m_accountLogins.erase(AccountKey(account, false));
    m_sessions[job.peer] = {user->id, now};
    BodyWriter body(out);
    body.Int32(kInfoBlock);
    body.Int32(user->id);
    body.Int32(0);
    body.Int32(user->balance);
    body.Int32(user->popularity);
    body.Int32(user->fans);
    body.Int32(m_db.SongCount(user->id));
    body.Bytes(user->nickname.c_str(), user->nickname.size() + 1);
    return 0;
}

Dispatcher::Outcome Dispatcher::Register(const std::string& peer, const Message& in, Message& out, uint16_t& code)
{
    std::string name = Field(in, 0, 32), digest = Field(in, 32, 65);
    if (name.empty() || name.size() > 31 || !IsDigest(digest)) {
        code = kUnknownUser;
        return Outcome::Reply;
    }
    if (m_db.FindUser(name)) {
        code = kNameTaken;
        return Outcome::Reply;
    }
    auto now = Clock::now();
    SourceState& source = m_sources.Touch(SourceOf(peer));
    if (!source.registrations.Take(now, m_limits.quotaWindow, m_limits.registrationsPerSource) ||
        !m_registrations.Take(now, m_limits.quotaWindow, m_limits.registrations)) {
        code = kServerFault;
        return Outcome::Reply;
    }
    HashJob job;
    job.kind = HashJob::Kind::Create;
    job.peer = peer;
    job.request = in;
    job.digest = digest;
    job.iterations = m_limits.hashIterations;
    return StartHash(std::move(job), out, code);
}

uint16_t Dispatcher::FinishRegister(HashJob& job, Message& out)
{
    std::string name = Field(job.request, 0, 32);
    auto id = m_db.AddUser(name, name, job.stored);
    if (!id)
        return kNameTaken;
    m_sessions[job.peer] = {*id, Clock::now()};
    BodyWriter body(out);
    body.Int32(*id);
    body.Bytes(name.c_str(), name.size() + 1);
    return 0;
}

uint16_t Dispatcher::StyleList(const std::string& peer, const Message& in, Message& out)
{
    const auto& styles = StyleIndex();
    int32_t stamp = m_stylesStamp;
    BodyWriter body(out);
    if (in.Int(2) == stamp && stamp != 0) {
        body.Int32(0);
        body.Int32(stamp);
        body.Int32(0);
        body.Int32(0);
        return 0;
    }
    Outgoing list;
    for (const auto& [id, entry] : styles) {
        AppendInt32(list.bytes, id);
        AppendInt32(list.bytes, entry.revision);
        AppendInt32(list.bytes, int32_t(entry.size));
        AppendInt32(list.bytes, 0);
    }
    int32_t size = int32_t(list.bytes.size());
    list.size = list.bytes.size();
    int32_t handle = size == 0 ? 0 : Offer(peer, std::move(list));
    if (size != 0 && handle == 0)
        return kTransferFailed;
    body.Int32(int32_t(styles.size()));
    body.Int32(stamp);
    body.Int32(handle);
    body.Int32(size);
    return 0;
}

uint16_t Dispatcher::StyleDetail(const Message& in, Message& out)
{
    auto style = m_db.Style(in.Int(1), false);
    if (!style || style->detail.size() + 12 > kMaxBody)
        return kBadStyle;
    BodyWriter body(out);
    body.Int32(style->id);
    body.Int32(style->revision);
    body.Int32(int32_t(style->detail.size()));
    body.Bytes(style->detail.data(), style->detail.size());
    return 0;
}

uint16_t Dispatcher::StyleData(const std::string& peer, const Message& in, Message& out)
{
    // Served from the library by id: a transfer holds no copy of the style.
    const auto& styles = StyleIndex();
    auto at = styles.find(in.Int(1));
    if (at == styles.end() || at->second.size == 0)
        return kBadStyle;
    Outgoing transfer;
    transfer.styleId = at->first;
    transfer.styleRevision = at->second.revision;
    transfer.size = at->second.size;
    int32_t size = int32_t(transfer.size);
    int32_t handle = Offer(peer, std::move(transfer));
    if (handle == 0)
        return kTransferFailed;
    BodyWriter body(out);
    body.Int32(handle);
    body.Int32(size);
    return 0;
}

uint16_t Dispatcher::Recommended(Message& out)
{
    auto ids = m_db.Recommended();
    if (ids.size() > 1000)
        ids.resize(1000);
    BodyWriter body(out);
    body.Int32(int32_t(ids.size()));
    for (int32_t id : ids)
        body.Int32(id);
    return 0;
}

uint16_t Dispatcher::UploadStart(const std::string& peer, const Message& in, Message& out)
{
    int32_t user = in.Int(1), total = in.Int(2);
    if (user == 0 || SessionUser(peer) != user)
        return kNoUser;
    if (m_db.SongCount(user) >= m_db.SongLimit())
        return kLimitReached;
    BodyWriter body(out);
    if (total == 0) { // only asking for permission
        body.Int32(0);
        return 0;
    }
    if (total <= int32_t(kSongInfo) || size_t(total) > m_limits.maxUpload)
        return kBadFile;
    std::string source = SourceOf(peer);
    Held& h = m_held[source];
    if (h.uploads >= m_limits.maxUploadsPerSource || m_uploads.size() >= m_limits.maxUploads ||
        m_uploadBytes + size_t(total) > m_limits.maxUploadBytes) {
        Release(source);
        return kTransferFailed;
    }
    int32_t handle = NewHandle();
    Upload& u = m_uploads[handle];
    u.peer = peer;
    u.source = source;
    u.user = user;
    u.total = size_t(total);
    u.expires = Clock::now() + m_limits.transferLife;
    h.uploads++;
    h.uploadBytes += u.total;
    m_uploadBytes += u.total;
    body.Int32(handle);
    return 0;
}

uint16_t Dispatcher::UploadChunk(const std::string& peer, const Message& in, Message& out)
{
    int32_t handle = in.Int(0), index = in.Int(1), count = in.Int(2);
    auto at = m_uploads.find(handle);
    if (at == m_uploads.end() || at->second.peer != peer)
        return kTransferFailed;
    m_sources.Touch(SourceOf(peer)).proven = true;
    Upload& u = at->second;
    BodyWriter body(out);
    body.Int32(handle);
    body.Int32(index);
    if (index == u.nextIndex - 1) // a retry of the chunk just taken
        return 0;
    size_t have = u.info.size() + u.data.size();
    size_t expected = index == 0 ? kSongInfo : std::min(kUploadPiece, u.total - have);
    if (index != u.nextIndex || count < 0 || size_t(count) != expected || size_t(count) + 12 > in.bodyLength) {
        DropUpload(at);
        return kTransferFailed;
    }
    const uint8_t* bytes = in.body.data() + 12;
    (index == 0 ? u.info : u.data).insert((index == 0 ? u.info : u.data).end(), bytes, bytes + count);
    ++u.nextIndex;
    u.expires = Clock::now() + m_limits.transferLife;
    if (u.info.size() + u.data.size() < u.total)
        return 0;
    int32_t song = m_db.AddSong(u.user, u.info, u.data);
    std::string first = "song/" + std::to_string(song), second = "space/" + std::to_string(u.user);
    body.Int32(song);
    uint8_t n = uint8_t(first.size());
    body.Bytes(&n, 1);
    body.Bytes(first.data(), n);
    n = uint8_t(second.size());
    body.Bytes(&n, 1);
    body.Bytes(second.data(), n);
    DropUpload(at);
    return kUploadComplete;
}

uint16_t Dispatcher::FetchChunk(const std::string& peer, const Message& in, Message& out)
{
    int32_t handle = in.Int(0), index = in.Int(1);
    auto at = m_outgoing.find(handle);
    if (at == m_outgoing.end() || at->second.peer != peer)
        return kTransferFailed;
    Outgoing& o = at->second;
    m_sources.Touch(o.source).proven = true; // it knows a handle only a reply told
    if (!o.fetched) {
        o.fetched = true;
        m_unfetched.erase(o.unfetchedAt);
    }
    BodyWriter body(out);
    body.Int32(handle);
    body.Int32(index);
    if (index == -1) {
        DropTransfer(at);
        body.Int32(0);
        return 0;
    }
    size_t from = size_t(std::max(index, 0)) * m_limits.fetchChunk;
    if (index < 0 || from >= o.size)
        return kTransferFailed;
    size_t count = std::min(m_limits.fetchChunk, o.size - from);
    if (o.styleId != 0) {
        std::vector<uint8_t> piece;
        if (!m_db.StyleDataRange(o.styleId, o.styleRevision, from, count, piece))
            return kTransferFailed; // republished or withdrawn meanwhile
        body.Int32(int32_t(count));
        body.Bytes(piece.data(), count);
    } else {
        body.Int32(int32_t(count));
        body.Bytes(o.bytes.data() + from, count);
    }
    o.expires = Clock::now() + m_limits.transferLife;
    return 0;
}

uint16_t Dispatcher::QuestionSync(const std::string& peer, const Message& in, Message& out)
{
    int32_t stamp = in.Int(1), user = in.Int(2);
    if (user != 0 && SessionUser(peer) != user)
        user = 0; // someone else's questions are not handed out
    int32_t reached = 0;
    auto rows = m_db.QuestionsFor(user, stamp, ListedIds(in, 3), m_limits.questionSyncRows, reached);
    Outgoing payload;
    AppendInt32(payload.bytes, int32_t(rows.size()));
    for (const QuestionRow& r : rows) {
        AppendInt32(payload.bytes, r.id);
        AppendInt32(payload.bytes, r.owner);
        AppendInt32(payload.bytes, r.state);
        if (r.state != 5) {
            AppendText(payload.bytes, r.question);
            AppendText(payload.bytes, r.answer);
        }
    }
    int32_t handle = 0, size = 0;
    if (!rows.empty()) {
        size = int32_t(payload.bytes.size());
        payload.size = payload.bytes.size();
        handle = Offer(peer, std::move(payload));
        if (handle == 0)
            return kTransferFailed;
    }
    BodyWriter body(out);
    // A sync cut short gives the stamp it reached, so the next one goes on.
    body.Int32(reached);
    body.Int32(handle);
    body.Int32(size);
    return 0;
}

uint16_t Dispatcher::SubmitQuestion(const std::string& peer, const Message& in, Message& out)
{
    int32_t user = in.Int(2);
    if (user != 0 && SessionUser(peer) != user)
        return kNoUser;
    std::string text = Field(in, 12, kMaxQuestion + 1);
    if (text.empty() || text.size() > kMaxQuestion)
        return kServerFault;
    auto now = Clock::now();
    if (!m_sources.Touch(SourceOf(peer)).questions.Take(now, m_limits.quotaWindow, m_limits.questionsPerSource) ||
        !m_questions.Take(now, m_limits.quotaWindow, m_limits.questions))
        return kServerFault;
    int32_t id = m_db.AddQuestion(user, text);
    BodyWriter body(out);
    body.Int32(id);
    return 0;
}

uint16_t Dispatcher::NoticeSync(const std::string& peer, const Message& in, Message& out)
{
    int32_t owner = in.Int(0);
    if (owner != 0 && SessionUser(peer) != owner)
        return kNoUser;
    std::vector<int32_t> known = ListedIds(in, 1);
    auto rows = m_db.Notices(owner);
    Outgoing payload;
    std::vector<uint8_t>& bytes = payload.bytes;
    int32_t entries = 0;
    AppendInt32(bytes, 0);
    for (int32_t id : known) {
        if (std::none_of(rows.begin(), rows.end(), [&](const NoticeRow& r) { return r.id == id; })) {
            AppendInt32(bytes, id);
            bytes.push_back(1);
            bytes.push_back(0);
            ++entries;
        }
    }
    for (const NoticeRow& r : rows) {
        if (std::find(known.begin(), known.end(), r.id) != known.end())
            continue;
        AppendInt32(bytes, r.id);
        bytes.push_back(0);
        bytes.push_back(0);
        bytes.push_back(uint8_t(uint16_t(r.kind)));
        bytes.push_back(uint8_t(uint16_t(r.kind) >> 8));
        AppendText(bytes, r.title);
        AppendText(bytes, r.text);
        ++entries;
    }
    PutInt32(bytes.data(), entries);
    int32_t handle = 0, size = 0;
    if (entries > 0) {
        size = int32_t(bytes.size());
        payload.size = bytes.size();
        handle = Offer(peer, std::move(payload));
        if (handle == 0)
            return kTransferFailed;
    }
    BodyWriter body(out);
    body.Int32(handle);
    body.Int32(size);
    return 0;
}

} // namespace melodrift::service
