#include "Channel.h"

#include "MelodriftPlatform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace melodrift::tidelink {

namespace {

constexpr int kSliceMs = 50;

bool ResolveOnce(const std::string& host, const std::string& service, int type, sockaddr_in& address, bool log)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = type;
    addrinfo* found = nullptr;
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        if (log) {
            if (rc == EAI_NONAME)
                MDP_DebugOutput("Host not found\n");
            else if (rc == EAI_NODATA || rc == EAI_ADDRFAMILY)
                MDP_DebugOutput("No data record found\n");
            else
                MDP_DebugOutput("getaddrinfo failed with error: %ld\n", long(rc));
        }
        return false;
    }
    bool ok = false;
    for (addrinfo* a = found; a != nullptr && !ok; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            std::memcpy(&address, a->ai_addr, sizeof address);
            ok = true;
        }
    }
    ::freeaddrinfo(found);
    return ok;
}

} // namespace

bool ResolveServiceHost(const std::string& host, uint16_t port, sockaddr_in& address)
{
    std::string service = std::to_string(port);
    return ResolveOnce(host, service, SOCK_DGRAM, address, false) ||
           ResolveOnce(host, service, SOCK_STREAM, address, true);
}

bool Channel::Open(const sockaddr_in& address)
{
    Close();
    int fd = ::socket(AF_INET, (m_kind == Kind::Udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (m_kind == Kind::Udp) {
        // A connected datagram socket only hears the service host.
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return false;
        }
    } else {
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        ::setsockopt(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
    }
    m_fd = fd;
    return true;
}

bool Channel::Connect(const sockaddr_in& address, int timeoutMs, const std::function<bool()>& stop)
{
    int fd = m_fd.load();
    if (fd < 0)
        return false;
    int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    MDP_DebugOutput("Tcp connect return %d\n", rc);
    if (rc != 0 && errno != EINPROGRESS) {
        MDP_DebugOutput("Connecting to the server connect error. code=%d\n", errno);
        return false;
    }
    if (rc != 0) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int ready = 0;
        while (ready == 0 && std::chrono::steady_clock::now() < deadline && !stop()) {
            pollfd p{fd, POLLOUT, 0};
            ready = ::poll(&p, 1, kSliceMs);
            if (ready < 0 && errno == EINTR)
                ready = 0;
        }
        MDP_DebugOutput("Connecting select return %d\n", ready);
        if (ready == 0) {
            MDP_DebugOutput("Connecting to the server time out.\n");
            return false;
        }
        if (ready < 0) {
            MDP_DebugOutput("Connecting to the server select error. code=%d\n", errno);
            return false;
        }
        int error = 0;
        socklen_t len = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
        if (error != 0) {
            MDP_DebugOutput("Connecting to the server connect error. code=%d\n", error);
            return false;
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    return true;
}

void Channel::Abort()
{
    int fd = m_fd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void Channel::Close()
{
    int fd = m_fd.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}

bool Channel::Send(const Message& message)
{
    uint8_t buffer[kSendCapacity];
    size_t size = EncodeMessage(message, buffer);
    int fd = m_fd.load();
    ssize_t sent = fd < 0 ? -1 : ::send(fd, buffer, size, MSG_NOSIGNAL);
    if (sent != ssize_t(size)) {
        MDP_DebugOutput("SendMessage error, message length doesnot match.\n");
        return false;
    }
    return true;
}

WaitResult Channel::WaitReadable(int timeoutMs, const std::function<bool()>& stop, int& error)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (stop && stop())
            return WaitResult::Stopped;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return WaitResult::Timeout;
        int fd = m_fd.load();
        if (fd < 0) {
            error = EBADF;
            return WaitResult::Error;
        }
        pollfd p{fd, POLLIN, 0};
        int rc = ::poll(&p, 1, int(std::min<long long>(left.count(), kSliceMs)));
        if (rc < 0 && errno != EINTR) {
            error = errno;
            return WaitResult::Error;
        }
        if (rc > 0) {
            if ((p.revents & POLLNVAL) != 0) {
                error = EBADF;
                return WaitResult::Error;
            }
            return WaitResult::Ready; // errors and hang-ups surface in Receive
        }
    }
}

ReceiveResult Channel::Receive(Message& message)
{
    return m_kind == Kind::Udp ? ReceiveDatagram(message) : ReceiveStream(message);
}

ReceiveResult Channel::ReceiveDatagram(Message& message)
{
    uint8_t buffer[kReceiveCapacity];
    int fd = m_fd.load();
    ssize_t n = fd < 0 ? -1 : ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return ReceiveResult::Dropped;
    if (n < 0)
        return ReceiveResult::Lost;
    if (n == 0)
        return ReceiveResult::Dropped; // an empty datagram is no message
    if (size_t(n) > sizeof buffer) {
        // Longer than any message may be: the datagram was cut, so drop it.
        MDP_DebugOutput("读取网络消息失败：无效的消息体长度 len=%d size=%d\n", int(n) - int(kHeaderSize), int(n));
        return ReceiveResult::Dropped;
    }
    return DecodeMessage(buffer, size_t(n), message) == DecodeStatus::Ok ? ReceiveResult::Ok : ReceiveResult::Dropped;
}

bool Channel::ReadExactly(uint8_t* to, size_t size)
{
    // The rest of a message must follow within a second, however it is cut
    // up: a peer that trickles bytes cannot hold the reader longer.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    size_t done = 0;
    while (done < size) {
        int fd = m_fd.load();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (fd < 0 || left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            return false;
        ssize_t n = ::recv(fd, to + done, size - done, 0);
        if (n == 0) {
            MDP_DebugOutput("Socket has been shutdown by remote.\n");
            return false;
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            MDP_DebugOutput("Socket error, code=%d\n", errno);
            return false;
        }
        done += size_t(n);
    }
    return true;
}

ReceiveResult Channel::ReceiveStream(Message& message)
{
    // A stream carries messages back to back: read the header, then exactly
    // the body it announces. A broken header leaves no way to find the next
    // message, so the stream is given up.
    uint8_t buffer[kReceiveCapacity];
    if (!ReadExactly(buffer, kHeaderSize))
        return ReceiveResult::Lost;
    size_t total = AnnouncedMessageSize(buffer);
    if (total == 0 || !ReadExactly(buffer + kHeaderSize, total - kHeaderSize))
        return ReceiveResult::Lost;
    MDP_DebugOutput("TCP Receive %dbytes data.\n", int(total));
    return DecodeMessage(buffer, total, message) == DecodeStatus::Ok ? ReceiveResult::Ok : ReceiveResult::Lost;
}

bool Channel::Probe(int waitMs, int attempts, const std::function<bool()>& stop)
{
    Message probe;
    probe.id = kProbe;
    for (int attempt = 0; attempt < attempts && !stop(); ++attempt) {
        if (!Send(probe))
            return false;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (!stop()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            int error = 0;
            if (left.count() <= 0 || WaitReadable(int(left.count()), stop, error) != WaitResult::Ready)
                break;
            Message reply;
            ReceiveResult r = Receive(reply);
            if (r == ReceiveResult::Lost) {
                if (m_kind == Kind::Tcp)
                    return false;
                break; // refused datagram: try again
            }
            if (r == ReceiveResult::Ok && reply.id == kProbe + 1 && reply.code == 0) {
                MDP_DebugOutput(m_kind == Kind::Udp ? "UDP connected.\n" : "TCP connected.\n");
                return true;
            }
        }
    }
    return false;
}

} // namespace melodrift::tidelink
