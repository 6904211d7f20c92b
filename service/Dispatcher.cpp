#include "Dispatcher.h"

#include <algorithm>
#include <cstring>

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

bool Dispatcher::Handle(const std::string& peer, const Message& request, Message& reply)
{
    // Only requests (odd ids) of the catalogue are answered.
    reply = Message{};
    reply.sequence = request.sequence;
    reply.id = uint16_t(request.id + 1);
    uint16_t code = 0;
    try {
        switch (request.id) {
        case kProbe: code = 0; reply.sequence = 0; break;
        case kGreeting: code = Greeting(request, reply); break;
        case kLogin: code = Login(peer, request, reply); break;
        case kRegister: code = Register(peer, request, reply); break;
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
        default: return false;
        }
    } catch (const std::exception&) {
        reply.bodyLength = 0;
        code = kServerFault;
    }
    reply.code = code;
    return true;
}

void Dispatcher::Forget(const std::string& peer)
{
    m_sessions.erase(peer);
    std::erase_if(m_outgoing, [&](const auto& e) { return e.second.peer == peer; });
    std::erase_if(m_uploads, [&](const auto& e) { return e.second.peer == peer; });
}

void Dispatcher::Expire()
{
    auto now = std::chrono::steady_clock::now();
    std::erase_if(m_outgoing, [&](const auto& e) { return e.second.expires < now; });
    std::erase_if(m_uploads, [&](const auto& e) { return e.second.expires < now; });
}

int32_t Dispatcher::NewHandle()
{
    // A handle that is hard to guess and never 0 or negative.
    do {
        m_handleSeed = m_handleSeed * 1103515245u + 12345u + uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    } while ((m_handleSeed & 0x7FFFFFFF) == 0 || m_outgoing.count(int32_t(m_handleSeed & 0x7FFFFFFF)) != 0 ||
             m_uploads.count(int32_t(m_handleSeed & 0x7FFFFFFF)) != 0);
    return int32_t(m_handleSeed & 0x7FFFFFFF);
}

int32_t Dispatcher::SessionUser(const std::string& peer) const
{
    auto at = m_sessions.find(peer);
    return at == m_sessions.end() ? 0 : at->second;
}

int32_t Dispatcher::Offer(const std::string& peer, std::vector<uint8_t> bytes)
{
    size_t held = size_t(std::count_if(m_outgoing.begin(), m_outgoing.end(),
                                       [&](const auto& e) { return e.second.peer == peer; }));
    if (held >= m_limits.maxTransfersPerPeer)
        return 0;
    int32_t handle = NewHandle();
    m_outgoing[handle] = {peer, std::move(bytes), std::chrono::steady_clock::now() + m_limits.transferLife};
    return handle;
}

uint16_t Dispatcher::Greeting(const Message& in, Message& out)
{
    Versions v = m_db.GetVersions();
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

uint16_t Dispatcher::Login(const std::string& peer, const Message& in, Message& out)
{
    std::string name = Field(in, 0, 32), digest = Field(in, 32, 65);
    auto user = m_db.FindUser(name);
    if (!user)
        return kUnknownUser;
    if (!IsDigest(digest) || !VerifyDigest(digest, user->password))
        return kBadPassword;
    m_sessions[peer] = user->id;
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

uint16_t Dispatcher::Register(const std::string& peer, const Message& in, Message& out)
{
    std::string name = Field(in, 0, 32), digest = Field(in, 32, 65);
    if (name.empty() || name.size() > 31 || !IsDigest(digest))
        return kUnknownUser;
    auto id = m_db.AddUser(name, name, HashDigest(digest, m_limits.hashIterations));
    if (!id)
        return kNameTaken;
    m_sessions[peer] = *id;
    BodyWriter body(out);
    body.Int32(*id);
    body.Bytes(name.c_str(), name.size() + 1);
    return 0;
}

uint16_t Dispatcher::StyleList(const std::string& peer, const Message& in, Message& out)
{
    int32_t stamp = m_db.StyleStamp();
    BodyWriter body(out);
    if (in.Int(2) == stamp && stamp != 0) {
        body.Int32(0);
        body.Int32(stamp);
        body.Int32(0);
        body.Int32(0);
        return 0;
    }
    std::vector<uint8_t> records;
    auto rows = m_db.StyleList();
    for (const StyleRow& r : rows) {
        AppendInt32(records, r.id);
        AppendInt32(records, r.revision);
        AppendInt32(records, int32_t(r.data.size()));
        AppendInt32(records, 0);
    }
    int32_t handle = records.empty() ? 0 : Offer(peer, records);
    if (!records.empty() && handle == 0)
        return kTransferFailed;
    body.Int32(int32_t(rows.size()));
    body.Int32(stamp);
    body.Int32(handle);
    body.Int32(int32_t(records.size()));
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
    auto style = m_db.Style(in.Int(1), true);
    if (!style || style->data.empty())
        return kBadStyle;
    int32_t size = int32_t(style->data.size());
    int32_t handle = Offer(peer, std::move(style->data));
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
    size_t held = size_t(std::count_if(m_uploads.begin(), m_uploads.end(),
                                       [&](const auto& e) { return e.second.peer == peer; }));
    if (held >= m_limits.maxUploadsPerPeer)
        return kTransferFailed;
    int32_t handle = NewHandle();
    Upload& u = m_uploads[handle];
    u.peer = peer;
    u.user = user;
    u.total = size_t(total);
    u.expires = std::chrono::steady_clock::now() + m_limits.transferLife;
    body.Int32(handle);
    return 0;
}

uint16_t Dispatcher::UploadChunk(const std::string& peer, const Message& in, Message& out)
{
    int32_t handle = in.Int(0), index = in.Int(1), count = in.Int(2);
    auto at = m_uploads.find(handle);
    if (at == m_uploads.end() || at->second.peer != peer)
        return kTransferFailed;
    Upload& u = at->second;
    BodyWriter body(out);
    body.Int32(handle);
    body.Int32(index);
    if (index == u.nextIndex - 1) // a retry of the chunk just taken
        return 0;
    size_t have = u.info.size() + u.data.size();
    size_t expected = index == 0 ? kSongInfo : std::min(kUploadPiece, u.total - have);
    if (index != u.nextIndex || count < 0 || size_t(count) != expected || size_t(count) + 12 > in.bodyLength) {
        m_uploads.erase(at);
        return kTransferFailed;
    }
    const uint8_t* bytes = in.body.data() + 12;
    (index == 0 ? u.info : u.data).insert((index == 0 ? u.info : u.data).end(), bytes, bytes + count);
    ++u.nextIndex;
    u.expires = std::chrono::steady_clock::now() + m_limits.transferLife;
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
    m_uploads.erase(at);
    return kUploadComplete;
}

uint16_t Dispatcher::FetchChunk(const std::string& peer, const Message& in, Message& out)
{
    int32_t handle = in.Int(0), index = in.Int(1);
    auto at = m_outgoing.find(handle);
    if (at == m_outgoing.end() || at->second.peer != peer)
        return kTransferFailed;
    BodyWriter body(out);
    body.Int32(handle);
    body.Int32(index);
    if (index == -1) {
        m_outgoing.erase(at);
        body.Int32(0);
        return 0;
    }
    const std::vector<uint8_t>& bytes = at->second.bytes;
    size_t from = size_t(std::max(index, 0)) * m_limits.fetchChunk;
    if (index < 0 || from >= bytes.size())
        return kTransferFailed;
    size_t count = std::min(m_limits.fetchChunk, bytes.size() - from);
    body.Int32(int32_t(count));
    body.Bytes(bytes.data() + from, count);
    at->second.expires = std::chrono::steady_clock::now() + m_limits.transferLife;
    return 0;
}

uint16_t Dispatcher::QuestionSync(const std::string& peer, const Message& in, Message& out)
{
    int32_t stamp = in.Int(1), user = in.Int(2);
    if (user != 0 && SessionUser(peer) != user)
        user = 0; // someone else's questions are not handed out
    auto rows = m_db.QuestionsFor(user, stamp, ListedIds(in, 3));
    std::vector<uint8_t> payload;
    AppendInt32(payload, int32_t(rows.size()));
    for (const QuestionRow& r : rows) {
        AppendInt32(payload, r.id);
        AppendInt32(payload, r.owner);
        AppendInt32(payload, r.state);
        if (r.state != 5) {
            AppendText(payload, r.question);
            AppendText(payload, r.answer);
        }
    }
    int32_t handle = 0, size = 0;
    if (!rows.empty()) {
        size = int32_t(payload.size());
        handle = Offer(peer, std::move(payload));
        if (handle == 0)
            return kTransferFailed;
    }
    BodyWriter body(out);
    body.Int32(m_db.QuestionStamp());
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
    std::vector<uint8_t> payload;
    int32_t entries = 0;
    AppendInt32(payload, 0);
    for (int32_t id : known) {
        if (std::none_of(rows.begin(), rows.end(), [&](const NoticeRow& r) { return r.id == id; })) {
            AppendInt32(payload, id);
            payload.push_back(1);
            payload.push_back(0);
            ++entries;
        }
    }
    for (const NoticeRow& r : rows) {
        if (std::find(known.begin(), known.end(), r.id) != known.end())
            continue;
        AppendInt32(payload, r.id);
        payload.push_back(0);
        payload.push_back(0);
        payload.push_back(uint8_t(uint16_t(r.kind)));
        payload.push_back(uint8_t(uint16_t(r.kind) >> 8));
        AppendText(payload, r.title);
        AppendText(payload, r.text);
        ++entries;
    }
    PutInt32(payload.data(), entries);
    int32_t handle = 0, size = 0;
    if (entries > 0) {
        size = int32_t(payload.size());
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
