#include "Digest.h"
#include "Service.h"

#include "MelodriftPlatform.h"

#include <cstring>

namespace melodrift::tidelink {

namespace {

constexpr size_t kCredentialsSize = 112;
constexpr int32_t kRegisteredFlags = 12;

std::string FieldText(const char* field, size_t capacity)
{
    return std::string(field, strnlen(field, capacity));
}

} // namespace

void Service::FillCredentials(Message& request, const CS_UserRecord& user, std::string& digest)
{
    // Texts are UTF-8 on this platform already: the name goes out as it is.
    std::string name = FieldText(user.userName, sizeof user.userName);
    digest = PasswordDigest(FieldText(user.password, sizeof user.password));
    uint8_t body[kCredentialsSize] = {};
    std::memcpy(body, name.data(), std::min<size_t>(name.size(), 31));
    std::memcpy(body + 32, digest.data(), std::min<size_t>(digest.size(), 64));
    BodyWriter writer(request);
    writer.Bytes(body, sizeof body);
}

int Service::LoginExchange()
{
    CS_UserRecord* user = m_user.load();
    Message request, reply;
    PrepareRequest(request, kLogin);
    std::string digest;
    FillCredentials(request, *user, digest);
    MDP_DebugOutput("user name: %s, MD5pwd: %s\n", FieldText(user->userName, 32).c_str(), digest.c_str());
    int result = Exchange(request, reply, Origin::ServiceThread);
    m_lastGreetingResult = result;
    if (result == -1)
        return -1;
    if (result != 0)
        return result;
    if (reply.code != 0) {
        m_lastGreetingResult = reply.code;
        if (reply.code == CS_ERR_BAD_PASSWORD || reply.code == CS_ERR_UNKNOWN_USER)
            m_login = 0;
        if (!m_callerWaiting)
            HandleReply(reply, 0);
        return reply.code;
    }
    // The info block is the server's: copy no more than the record holds.
    int32_t length = reply.Int(0);
    if (length < 8 || size_t(length) > reply.bodyLength) {
        m_lastGreetingResult = CS_ERR_SERVER;
        m_login = 0;
        reply.code = CS_ERR_SERVER;
        if (!m_callerWaiting)
            HandleReply(reply, 0);
        return CS_ERR_SERVER;
    }
    uint8_t* info = reinterpret_cast<uint8_t*>(user) + offsetof(CS_UserRecord, infoSize);
    std::memset(info, 0, CS_INFO_BLOCK_MAX);
    std::memcpy(info, reply.body.data(), std::min<size_t>(size_t(length), CS_INFO_BLOCK_MAX));
    std::string nick;
    if (size_t(length) < reply.bodyLength) {
        const char* at = reinterpret_cast<const char*>(reply.body.data() + length);
        nick.assign(at, strnlen(at, reply.bodyLength - size_t(length)));
        CopyText(user->nickname, sizeof user->nickname, nick);
    }
    m_login = 2;
    if (m_edition == 4)
        m_styleListPending = 1; // this edition lists the account's own styles
    MDP_DebugOutput("size=%d, id=%d, nick=%s\n", length, user->userId, nick.c_str());
    if (m_edition != 3 && m_edition != 4 && !m_callerWaiting) {
        m_questionsPending = 1;
        m_personalPending = 1;
    }
    HandleReply(reply, 0);
    return 0;
}

int32_t Service::Login(CS_UserRecord* user, bool sync)
{
    m_user = user;
    if (m_stopping)
        return CS_ERR_NO_SERVICE;
    m_proceed = true;
    if (m_mandatoryUpdate) {
        MDP_DebugOutput("Mandatory update require.\n");
        return CS_ERR_NO_SERVICE;
    }
    if (m_login == 2) {
        MDP_DebugOutput("Allread log on.\n");
        return 0;
    }
    if (user == nullptr)
        return -1;
    if (m_login == 0) {
        MDP_DebugOutput("Set Log pending state.\n");
        m_lastGreetingResult = 0;
        m_login = 1;
    }
    m_work.release();
    if (!sync)
        return 0;
    for (;;) {
        m_callerWaiting = true;
        bool woken = m_done.try_acquire_for(std::chrono::milliseconds(m_config.timing.doneWaitMs));
        m_callerWaiting = false;
        if (!woken)
            return CS_ERR_TIMEOUT;
        if (!m_proceed) {
            MDP_DebugOutput("User cancel operation.\n");
            return CS_ERR_CANCELLED;
        }
        if (m_stopping)
            return CS_ERR_NO_SERVICE;
        int last = m_lastGreetingResult;
        if (last != 0 || user->userId != 0) {
            MDP_DebugOutput("Sync login Ok.\n");
            return last;
        }
        m_work.release();
    }
}

int32_t Service::Register(CS_UserRecord* user)
{
    m_user = user;
    if (m_stopping)
        return CS_ERR_NO_SERVICE;
    m_proceed = true;
    if (m_mandatoryUpdate || user == nullptr || m_greeting != 2 || m_login != 0)
        return -1;
    Message request, reply;
    PrepareRequest(request, kRegister);
    std::string digest;
    FillCredentials(request, *user, digest);
    MDP_DebugOutput("user name: %s, MD5pwd: %s\n", FieldText(user->userName, 32).c_str(), digest.c_str());
    int result = CallerExchange(request, reply);
    if (result != 0)
        return result;
    if (reply.code != 0)
        return reply.code;
    if (reply.bodyLength < 4 || reply.Int(0) == 0)
        return CS_ERR_SERVER; // an account without an id is no account
    const char* nick = reinterpret_cast<const char*>(reply.body.data() + 4);
    size_t nickRoom = reply.bodyLength > 4 ? reply.bodyLength - 4u : 0;
    CopyText(user->nickname, sizeof user->nickname, std::string_view(nick, strnlen(nick, nickRoom)));
    user->userId = reply.Int(0);
    user->accountFlags = kRegisteredFlags;
    m_login = 2;
    if (m_edition == 4)
        m_styleListPending = 1;
    return 0;
}

void Service::Logoff()
{
    m_proceed = false;
    m_login = 0;
    m_personalPending = 0;
    m_personalFetched = false;
    m_downloadWindow = nullptr;
    if (m_edition == 4) {
        ClearQueues();
        m_styleListPending = 0;
    }
}

void Service::Cancel()
{
    m_proceed = false;
    m_downloadWindow = nullptr;
    m_done.release();
}

int Service::Greet()
{
    Message request, reply;
    PrepareRequest(request, kGreeting);
    BodyWriter body(request);
    const CS_VersionRecord* v = m_config.version;
    body.Int32(int32_t(uint32_t(v->major) << 16 | v->minor));
    body.Int32(int32_t(uint32_t(v->modify) << 16 | v->build));
    int result = Exchange(request, reply, Origin::ServiceThread);
    m_lastGreetingResult = result;
    if (result == -1) {
        MDP_DebugOutput("No response, connect again.\n");
        DropTransport();
        return -1;
    }
    if (result < 0x8000) {
        MDP_DebugOutput("Connect to server success.\n");
        m_greeting = 2;
        if (m_edition != 3 && m_edition != 4) {
            m_styleListPending = 1;
            m_questionsPending = 1;
            m_noticesPending = 1;
        }
    }
    if (result == 0 && reply.code == 3)
        m_greeting = 3;
    HandleReply(reply, result);
    return result;
}

int Service::GreetAndLogin()
{
    if (m_greeting == 1) {
        int result = Greet();
        if (result == -1)
            return -1;
    }
    if (!m_mandatoryUpdate && m_user.load() != nullptr && m_greeting == 2 && m_login == 1)
        return LoginExchange();
    return 0;
}

} // namespace melodrift::tidelink
