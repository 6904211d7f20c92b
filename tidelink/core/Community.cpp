// Notices and questions: their synchronisation and a user's new question.
#include "Service.h"

#include "MelodriftPlatform.h"

#include <algorithm>
#include <cstring>

namespace melodrift::tidelink {

namespace {

constexpr size_t kMaxListedIds = 80;
constexpr size_t kNoticeSyncBody = 328;
constexpr size_t kQuestionSyncBody = 336;

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

} // namespace melodrift::tidelink
