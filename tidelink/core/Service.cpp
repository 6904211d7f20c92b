// The service object: its threads, the service loop and the replies it posts.
#include "Service.h"

#include "MelodriftPlatform.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace melodrift::tidelink {

Service::Service(ServiceConfig config, StyleStore* store, NoticeBook& notices, QnABook& questions)
    : m_config(std::move(config)), m_store(store), m_notices(notices), m_questions(questions),
      m_edition(m_config.version != nullptr ? m_config.version->minor : 0),
      m_sequence(static_cast<uint16_t>(std::time(nullptr)))
{
    MDP_DebugOutput("Server name: %s, seqInit:%d\n", m_config.host.c_str(), int(m_sequence.load()));
    m_greeting = 1;
}

Service::~Service() { Stop(); }

void Service::Start()
{
    if (m_started.exchange(true))
        return;
    m_udp.thread = std::thread([this] { ConnectWorkerLoop(m_udp); });
    m_tcp.thread = std::thread([this] { ConnectWorkerLoop(m_tcp); });
    m_thread = std::thread([this] { ServiceLoop(); });
}

void Service::Stop()
{
    m_stopping = true;
    m_proceed = false;
    m_connectedSignal.release();
    m_work.release();
    m_done.release();
    if (!m_started.exchange(false))
        return;
    m_udp.channel->Abort();
    m_tcp.channel->Abort();
    // Every wait of these threads looks at the stopping flag within a short
    // slice, so they end by themselves; nothing is killed.
    if (m_thread.joinable())
        m_thread.join();
    m_udp.start.release();
    m_tcp.start.release();
    if (m_udp.thread.joinable())
        m_udp.thread.join();
    if (m_tcp.thread.joinable())
        m_tcp.thread.join();
    std::lock_guard guard(m_exchangeLock);
    m_transport = nullptr;
    m_udp.channel->Close();
    m_tcp.channel->Close();
}

bool Service::SleepUnlessStopping(int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
    return !m_stopping;
}

void Service::Post(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam) const
{
    if (window != nullptr)
        MDP_PostMessage(window, message, wParam, lParam);
}

bool Service::AnySyncPending() const
{
    return m_styleListPending == 1 || m_questionsPending == 1 || m_noticesPending == 1 || m_personalPending == 1 ||
           m_recommendedWanted;
}

void Service::ServiceLoop()
{
    SleepUnlessStopping(m_config.timing.startDelayMs);
    while (!m_stopping) {
        if (!m_connected)
            Connect();
        if (m_connected && !m_stopping) {
            if (GreetAndLogin() == -1)
                continue;
            if (m_greeting == 3) {
                // The server demands an update: the service ends here.
                m_stopping = true;
                m_proceed = false;
                m_done.release();
                break;
            }
            bool failed = false;
            auto lost = [this] {
                // A step that ends with -1 leaves the connection to be made
                // again, never a loop without a wait.
                if (m_connected)
                    DropTransport();
            };
            if (m_callerWaiting) {
                m_done.release();
            } else {
                int r = SyncStyles();
                if (r == -1) {
                    lost();
                    continue;
                }
                failed |= r != 0;
                r = SyncQuestions();
                if (r == -1) {
                    lost();
                    continue;
                }
                failed |= r != 0;
                r = SyncNotices();
                if (r == -1) {
                    lost();
                    continue;
                }
                failed |= r != 0;
            }
            // Pending work runs again at once, unless this pass failed: a
            // step the server keeps refusing must not spin the loop.
            if (!failed && !m_callerWaiting && m_greeting == 2 && (AnySyncPending() || QueuesBusy()))
                continue;
        }
        (void)m_work.try_acquire_for(std::chrono::milliseconds(m_config.timing.workWaitMs));
        // Never fetched counts as long ago.
        if (m_login == 2 && (!m_personalFetched || std::chrono::steady_clock::now() - m_lastPersonal >
                                                       std::chrono::milliseconds(m_config.timing.personalNoticeMs)))
            m_personalPending = 1;
    }
    MDP_DebugOutput("NetService exit.\n");
}

void Service::HandleReply(const Message& reply, int result)
{
    MDP_Window window = m_config.notifyWindow;
    if (result == CS_ERR_SOCKET || result == CS_ERR_TIMEOUT) {
        Post(window, CS_UM_SERVICE_FAILURE, intptr_t(reply.id) << 16 | result, 0);
        return;
    }
    intptr_t wParam = intptr_t(reply.id) << 16 | reply.code;
    switch (reply.id) {
    case kGreeting + 1:
        if (reply.code == 2 || reply.code == 3) {
            CS_VersionRecord* v = m_config.version;
            uint32_t a = uint32_t(reply.Int(0)), b = uint32_t(reply.Int(1));
            v->major = uint16_t(a >> 16);
            v->minor = uint16_t(a);
            v->modify = uint16_t(b >> 16);
            v->build = uint16_t(b);
            v->serverValueA = reply.Int(3);
            v->serverValueB = reply.Int(2);
            int32_t length = reply.Int(4);
            size_t available = reply.bodyLength > 20 ? reply.bodyLength - 20u : 0;
            size_t n = length > 0 ? std::min({size_t(length), available, size_t(CS_VERSION_TEXT_MAX)}) : 0;
            std::memcpy(v->serverText, reply.body.data() + 20, n);
            v->serverText[n] = '\0';
            if (reply.code == 3)
                m_mandatoryUpdate = true;
            Post(window, CS_UM_SERVICE_EVENT, wParam, reinterpret_cast<intptr_t>(v));
        }
        break;
    case kLogin + 1:
        Post(window, CS_UM_SERVICE_EVENT, wParam, reinterpret_cast<intptr_t>(m_user.load()));
        break;
    case kRegister + 1:
        if (reply.code == 0)
            Post(window, CS_UM_SERVICE_EVENT, 0x220000, reinterpret_cast<intptr_t>(m_user.load()));
        break;
    case kStyleList + 1:
        Post(window, CS_UM_SERVICE_EVENT, wParam, reply.Int(0));
        break;
    case kStyleDetail + 1:
        Post(window, CS_UM_SERVICE_EVENT, wParam, QueueHead(m_detailQueue));
        break;
    case kStyleData + 1:
        Post(window, CS_UM_SERVICE_EVENT, wParam, QueueHead(m_downloadQueue));
        break;
    default:
        break;
    }
}

int32_t Service::UserId() const
{
    CS_UserRecord* user = m_user.load();
    return user != nullptr && m_login == 2 ? user->userId : 0;
}

} // namespace melodrift::tidelink
