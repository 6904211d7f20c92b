// The transport: racing the UDP and TCP candidates, dropping it, and making
// a broken TCP stream again.
#include "Service.h"

#include "MelodriftPlatform.h"

namespace melodrift::tidelink {

bool Service::UsesUdp() const
{
    std::lock_guard guard(m_exchangeLock);
    return m_connected && m_transport == m_udp.channel.get();
}

void Service::ConnectWorkerLoop(ConnectWorker& worker)
{
    for (;;) {
        worker.start.acquire();
        if (m_stopping)
            return;
        auto stop = [this] { return m_stopping.load(); };
        bool ok = false;
        const Timing& t = m_config.timing;
        if (worker.kind == Channel::Kind::Udp)
            ok = worker.channel->Probe(t.probeWaitMs, 3, stop);
        else
            ok = worker.channel->Connect(m_address, t.probeWaitMs, stop) && worker.channel->Probe(t.probeWaitMs, 1, stop);
        worker.state = ok ? Candidate::Succeeded : Candidate::Failed;
        m_connectedSignal.release();
    }
}

void Service::AbortCandidate(ConnectWorker& worker)
{
    if (worker.state == Candidate::Probing)
        worker.channel->Abort();
}

void Service::WaitIdle(ConnectWorker& worker)
{
    while (worker.state == Candidate::Probing)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void Service::DropTransport()
{
    std::lock_guard guard(m_exchangeLock);
    m_connected = false;
    m_transport = nullptr;
    m_tcp.channel->Close();
}

void Service::Connect()
{
    if (!m_resolved) {
        if (!ResolveServiceHost(m_config.host, m_config.port, m_address))
            return;
        m_resolved = true;
    }
    DropTransport();
    bool udpOpen = m_udp.channel->IsOpen() || m_udp.channel->Open(m_address);
    if (!udpOpen)
        MDP_DebugOutput("Create UDP sock failed.\n");
    m_tcp.channel->Open(m_address);
    m_udp.state = udpOpen ? Candidate::Probing : Candidate::Failed;
    m_tcp.state = Candidate::Probing;
    while (m_connectedSignal.try_acquire()) {
    }
    if (udpOpen)
        m_udp.start.release();
    m_tcp.start.release();

    // UDP is preferred: a TCP success alone is taken only once the UDP probe
    // has failed or the wait is over.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_config.timing.connectWaitMs);
    while (!m_stopping && m_udp.state != Candidate::Succeeded &&
           (m_udp.state == Candidate::Probing || m_tcp.state == Candidate::Probing)) {
        if (!m_connectedSignal.try_acquire_until(deadline))
            break;
    }
    bool udp = m_udp.state == Candidate::Succeeded;
    bool tcp = !udp && m_tcp.state == Candidate::Succeeded;
    AbortCandidate(m_udp);
    AbortCandidate(m_tcp);
    WaitIdle(m_udp);
    WaitIdle(m_tcp);
    std::lock_guard guard(m_exchangeLock);
    if (udp) {
        m_tcp.channel->Close();
        MDP_DebugOutput("TCP closed.\n");
        m_transport = m_udp.channel.get();
    } else if (tcp) {
        m_udp.channel->Close();
        m_transport = m_tcp.channel.get();
    } else {
        if (!m_stopping)
            MDP_DebugOutput("Who release the connected semaphore?\n");
        m_udp.channel->Close();
        m_tcp.channel->Close();
        return;
    }
    m_connected = true;
}

bool Service::ReopenStream(uint16_t requestId)
{
    // Called with the exchange lock held, on the TCP transport only.
    auto stop = [this] { return m_stopping.load(); };
    const Timing& t = m_config.timing;
    Channel& stream = *m_tcp.channel;
    stream.Close();
    if (!stream.Open(m_address) || !stream.Connect(m_address, t.probeWaitMs, stop) ||
        !stream.Probe(t.probeWaitMs, 1, stop)) {
        MDP_DebugOutput("TCP reconnect failed.\n");
        return false;
    }
    // A login belongs to its connection: log in again before a request
    // that needs it goes out on the new one.
    CS_UserRecord* user = m_user.load();
    if (m_login != 2 || user == nullptr || requestId == kLogin || requestId == kRegister || requestId == kGreeting)
        return true;
    Message login, answer;
    PrepareRequest(login, kLogin);
    std::string digest;
    FillCredentials(login, *user, digest);
    login.sequence = m_sequence.fetch_add(1);
    if (!stream.Send(login) || AwaitReply(login, answer, Origin::ServiceThread) != 0 || answer.code != 0) {
        MDP_DebugOutput("Login again after reconnect failed.\n");
        return false;
    }
    return true;
}

} // namespace melodrift::tidelink
