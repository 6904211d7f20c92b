#include "Digest.h"
#include "Service.h"

#include "MelodriftPlatform.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace melodrift::tidelink {

namespace {

constexpr size_t kMaxListedIds = 80;
constexpr size_t kNoticeSyncBody = 328;
constexpr size_t kQuestionSyncBody = 336;
constexpr int32_t kChunkBytes = 1400;
constexpr uint16_t kUploadComplete = 5;

std::string PercentEncoded(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

} // namespace

int Service::SyncNoticeOwner(int32_t owner)
{
    Message request, reply;
    PrepareRequest(request, kNoticeSync);
    std::vector<int32_t> ids = m_notices.Ids(owner, kMaxListedIds);
    BodyWriter body(request);
    body.Int32(owner);
    body.Int32(int32_t(ids.size()));
    for (int32_t id : ids)
        body.Int32(id);
    body.Zeros(kNoticeSyncBody - 8 - 4 * ids.size());
    int result = Exchange(request, reply, Origin::ServiceThread);
    if (result != 0 || reply.code != 0)
        return result != 0 ? result : reply.code;
    int32_t size = reply.Int(1);
    if (size > 0) {
        std::vector<uint8_t> payload;
        int fetched = FetchChunks(reply.Int(0), size, kMaxNoticeBytes, payload, Origin::ServiceThread);
        if (fetched != 0)
            return fetched;
        int32_t entries = m_notices.Merge(owner, payload.data(), payload.size());
        if (entries < 0)
            return CS_ERR_SERVER;
        MDP_DebugOutput("Update %d notice.\n", entries);
    }
    int32_t unread = m_notices.UnreadCount(owner);
    Post(m_config.notifyWindow, CS_UM_SERVICE_EVENT, 0x960000, intptr_t(owner) * 65536 + (unread & 0xFFFF));
    return 0;
}

int Service::SyncNotices()
{
    if (m_greeting != 2)
        return 0;
    if (m_noticesPending == 1) {
        int r = SyncNoticeOwner(0);
        if (r != 0)
            return r;
        m_noticesPending = 2;
    }
    CS_UserRecord* user = m_user.load();
    if (m_personalPending == 1 && m_login == 2 && user != nullptr) {
        int r = SyncNoticeOwner(user->userId);
        if (r != 0)
            return r;
        m_lastPersonal = std::chrono::steady_clock::now();
        m_personalFetched = true;
        m_personalPending = 2;
    }
    return 0;
}

int Service::SyncQuestions()
{
    if (m_greeting != 2 || m_questionsPending != 1)
        return 0;
    Message request, reply;
    PrepareRequest(request, kQuestionSync);
    std::vector<int32_t> ids = m_questions.LocalIds(kMaxListedIds);
    BodyWriter body(request);
    body.Int32(m_edition);
    body.Int32(m_questions.SyncStamp());
    body.Int32(UserId());
    body.Int32(int32_t(ids.size()));
    for (int32_t id : ids)
        body.Int32(id);
    body.Zeros(kQuestionSyncBody - 16 - 4 * ids.size());
    int result = Exchange(request, reply, Origin::ServiceThread);
    if (result != 0 || reply.code != 0)
        return result != 0 ? result : reply.code;
    int32_t stamp = reply.Int(0);
    int32_t size = reply.Int(2);
    if (size > 0) {
        std::vector<uint8_t> payload;
        int fetched = FetchChunks(reply.Int(1), size, kMaxQuestionBytes, payload, Origin::ServiceThread);
        if (fetched != 0)
            return fetched;
        int32_t entries = m_questions.Merge(payload.data(), payload.size(), stamp);
        if (entries < 0)
            return CS_ERR_SERVER;
        MDP_DebugOutput("Update %d qna.\n", entries);
    }
    m_questionsPending = 2;
    return 0;
}

int32_t Service::SubmitQuestion(int32_t userId, const char* text)
{
    if (m_stopping)
        return CS_ERR_NO_SERVICE;
    m_proceed = true;
    std::string question = text != nullptr ? std::string(text) : std::string();
    Message request, reply;
    PrepareRequest(request, kSubmitQuestion);
    BodyWriter body(request);
    const CS_VersionRecord* v = m_config.version;
    body.Int32(int32_t(uint32_t(v->major) << 16 | v->minor));
    body.Int32(int32_t(uint32_t(v->modify) << 16 | v->build));
    body.Int32(userId);
    if (!body.Bytes(question.c_str(), question.size() + 1))
        return CS_ERR_FILE; // longer than one message can carry
    int result = CallerExchange(request, reply);
    if (result != 0 || reply.code != 0)
        return result != 0 ? result : reply.code;
    Question q;
    q.id = reply.Int(0);
    q.owner = userId;
    q.question = question;
    m_questions.AddLocal(std::move(q));
    return 0;
}

void Service::WantAnswers()
{
    if (m_greeting == 2) {
        m_questionsPending = 1;
        m_work.release();
    }
}

void Service::FillUploadResult(const Message& reply, CS_UploadResult* result) const
{
    if (result == nullptr || reply.bodyLength <= 8)
        return;
    result->songId = reply.Int(2);
    ByteReader in(reply.body.data(), reply.bodyLength);
    const uint8_t* skip = nullptr;
    if (!in.Bytes(12, skip))
        return;
    char* pages[2] = {result->firstPage, result->secondPage};
    for (char* page : pages) {
        uint8_t n = 0;
        const uint8_t* name = nullptr;
        if (!in.UInt8(n) || !in.Bytes(n, name))
            return;
        if (n > 0)
            CopyText(page, 256, m_config.webRoot + "/" + std::string(reinterpret_cast<const char*>(name), n));
    }
}

int Service::SendUploadChunks(int32_t handle, const void* info, FILE* file, int64_t total, MDP_Window window,
                              CS_UploadResult* result)
{
    int64_t sent = 0;
    std::vector<uint8_t> piece(CS_SONG_INFO_SIZE);
    for (int32_t index = 0;; ++index) {
        size_t count = CS_SONG_INFO_SIZE;
        if (index == 0)
            std::memcpy(piece.data(), info, CS_SONG_INFO_SIZE);
        else
            count = std::fread(piece.data(), 1, size_t(std::min<int64_t>(kChunkBytes, total - sent)), file);
        if (count == 0)
            return CS_ERR_FILE; // the file shrank while it was sent
        Message request, reply;
        PrepareRequest(request, kUploadChunk);
        BodyWriter body(request);
        body.Int32(handle);
        body.Int32(index);
        body.Int32(int32_t(count));
        body.Bytes(piece.data(), count);
        int r = CallerExchange(request, reply);
        if (r != 0) {
            MDP_DebugOutput("发送异常!\n");
            return r;
        }
        if (reply.code == kUploadComplete) {
            FillUploadResult(reply, result);
            Post(window, CS_UM_UPLOAD_DONE, 0, 0);
            return 0;
        }
        if (reply.code != 0) {
            MDP_DebugOutput("服务异常!\n");
            return reply.code;
        }
        if (reply.Int(0) != handle || reply.Int(1) != index)
            return CS_ERR_CHUNK_MISMATCH;
        sent += int64_t(count);
        if (sent >= total)
            return 0;
        if (index == 0)
            piece.resize(kChunkBytes);
        Post(window, CS_UM_UPLOAD_PROGRESS, intptr_t(sent * 100 / total), 0);
    }
}

int32_t Service::UploadSong(int32_t userId, const void* info, const char* path, MDP_Window window,
                            CS_UploadResult* result)
{
    if (userId == 0)
        return CS_ERR_NO_USER;
    if (m_stopping)
        return CS_ERR_NO_SERVICE;
    int64_t total = 0;
    if (info != nullptr) {
        FILE* probe = path != nullptr ? std::fopen(path, "rb") : nullptr;
        if (probe == nullptr)
            return CS_ERR_FILE;
        bool sized = std::fseek(probe, 0, SEEK_END) == 0;
        long size = sized ? std::ftell(probe) : -1;
        std::fclose(probe);
        if (size <= 0 || int64_t(size) + CS_SONG_INFO_SIZE > INT32_MAX)
            return CS_ERR_FILE;
        total = int64_t(size) + CS_SONG_INFO_SIZE;
    }
    m_proceed = true;
    Message request, reply;
    PrepareRequest(request, kUploadStart);
    BodyWriter body(request);
    body.Int32(m_edition);
    body.Int32(userId);
    body.Int32(int32_t(total));
    int r = CallerExchange(request, reply);
    if (r != 0)
        return r;
    if (info == nullptr || reply.code != 0)
        return reply.code;
    int32_t handle = reply.Int(0);
    Post(window, CS_UM_UPLOAD_PROGRESS, 0, 0);
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return CS_ERR_FILE;
    MDP_DebugOutput("Max pack size = %d\n", kChunkBytes);
    r = SendUploadChunks(handle, info, file, total, window, result);
    std::fclose(file);
    return r;
}

bool Service::WebPageUrl(int32_t action, std::string& url) const
{
    const std::string& root = m_config.webRoot;
    auto account = [&](int queryAction) {
        CS_UserRecord* user = m_user.load();
        if (user == nullptr || m_login != 2)
            return false;
        std::string name(user->userName, strnlen(user->userName, sizeof user->userName));
        std::string digest = PasswordDigest(std::string(user->password, strnlen(user->password, sizeof user->password)));
        char query[512];
        std::snprintf(query, sizeof query, "/index.php/Login/checkLoginUser?username=%s&password=%s&action=%d",
                      PercentEncoded(name).c_str(), digest.c_str(), queryAction);
        url = root + query;
        return true;
    };
    switch (action) {
    case 0:
        url = root;
        return true;
    case 1:
    case 2:
        return account(action);
    case 3: {
        int id = m_edition <= 2 ? 2 : m_edition == 6 ? 3 : 0;
        if (id == 0)
            return false;
        url = root + "/index.php/Software?tpl=show&id=" + std::to_string(id) + "&os=pc";
        return true;
    }
    case 4:
        return account(3);
    case 5:
        url = root + "/index.php/Community?tpl=topic_list&i=1";
        return true;
    case 6:
        url = root + "/index.php/Music/index/tpl/play_share/i/";
        return true;
    default:
        return false;
    }
}

} // namespace melodrift::tidelink
