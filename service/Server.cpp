#include "Server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace melodrift::service {

using namespace tidelink;

namespace {

std::string PeerName(const sockaddr_in& a)
{
    char ip[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
    return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

} // namespace

Server::Server(ServerOptions options, Dispatcher& dispatcher) : m_options(std::move(options)), m_dispatcher(dispatcher)
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;
}

Server::~Server()
{
    for (size_t i = m_connections.size(); i-- > 0;)
        CloseConnection(i);
    for (int fd : {m_udp, m_tcp, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

bool Server::Open(std::string& why)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_options.port);
    if (::inet_pton(AF_INET, m_options.bindAddress.c_str(), &address.sin_addr) != 1) {
        why = "bad bind address " + m_options.bindAddress;
        return false;
    }
    int on = 1;
    if (m_options.tcp) {
        m_tcp = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ::setsockopt(m_tcp, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (m_tcp < 0 || ::bind(m_tcp, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_tcp, 64) != 0) {
            why = std::string("TCP: ") + std::strerror(errno);
            return false;
        }
        socklen_t len = sizeof address;
        ::getsockname(m_tcp, reinterpret_cast<sockaddr*>(&address), &len);
    }
    if (m_options.udp) {
        m_udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_udp < 0 || ::bind(m_udp, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            why = std::string("UDP: ") + std::strerror(errno);
            return false;
        }
        socklen_t len = sizeof address;
        ::getsockname(m_udp, reinterpret_cast<sockaddr*>(&address), &len);
    }
    m_boundPort = ntohs(address.sin_port);
    return true;
}

void Server::Stop()
{
    m_stop = true;
    if (m_wake[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &c, 1);
    }
}

bool Server::Allow(const std::string& peer)
{
    auto now = std::chrono::steady_clock::now();
    auto [at, fresh] = m_buckets.try_emplace(peer, Bucket{double(m_options.ratePerSecond), now});
    Bucket& b = at->second;
    double seconds = std::chrono::duration<double>(now - b.refilled).count();
    b.tokens = std::min(double(m_options.ratePerSecond), b.tokens + seconds * m_options.ratePerSecond);
    b.refilled = now;
    if (b.tokens < 1.0)
        return false;
    b.tokens -= 1.0;
    return true;
}

std::vector<uint8_t> Server::Answer(const std::string& peer, const uint8_t* data, size_t size)
{
    Message request;
    if (DecodeMessage(data, size, request) != DecodeStatus::Ok || request.id % 2 == 0 || !Allow(peer)) {
        ++m_stats.dropped;
        return {};
    }
    // A retried request (same id and sequence) gets the same answer again
    // instead of being carried out twice.
    LastReply& last = m_lastReplies[peer];
    if (request.id != kProbe && last.id == request.id && last.sequence == request.sequence && !last.bytes.empty()) {
        ++m_stats.answered;
        return last.bytes;
    }
    Message reply;
    if (!m_dispatcher.Handle(peer, request, reply)) {
        ++m_stats.dropped;
        return {};
    }
    std::vector<uint8_t> bytes(kSendCapacity);
    bytes.resize(EncodeMessage(reply, bytes.data()));
    if (request.id != kProbe)
        last = {request.id, request.sequence, bytes};
    ++m_stats.answered;
    if (m_options.verbose)
        std::fprintf(stderr, "%s id %u seq %u -> code %u\n", peer.c_str(), request.id, request.sequence, reply.code);
    return bytes;
}

void Server::ReadDatagrams()
{
    uint8_t buffer[kReceiveCapacity + 1];
    for (int i = 0; i < 64; ++i) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(m_udp, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0)
            return;
        if (size_t(n) > kReceiveCapacity) { // longer than any message
            ++m_stats.dropped;
            continue;
        }
        std::vector<uint8_t> reply = Answer("udp/" + PeerName(from), buffer, size_t(n));
        if (!reply.empty())
            ::sendto(m_udp, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

void Server::Accept()
{
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        int fd = ::accept4(m_tcp, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (m_connections.size() >= m_options.maxConnections) {
            ::close(fd);
            continue;
        }
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Connection c;
        c.fd = fd;
        c.peer = "tcp/" + std::to_string(m_nextConnection++) + "/" + PeerName(from);
        c.lastSeen = std::chrono::steady_clock::now();
        m_connections.push_back(std::move(c));
    }
}

bool Server::ReadConnection(Connection& c)
{
    uint8_t chunk[kReceiveCapacity];
    ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
        return false;
    if (n < 0)
        return true;
    c.lastSeen = std::chrono::steady_clock::now();
    c.buffer.insert(c.buffer.end(), chunk, chunk + n);
    while (c.buffer.size() >= kHeaderSize) {
        size_t total = AnnouncedMessageSize(c.buffer.data());
        if (total == 0)
            return false; // a broken header: the stream cannot be followed any more
        if (c.buffer.size() < total)
            break;
        std::vector<uint8_t> reply = Answer(c.peer, c.buffer.data(), total);
        c.buffer.erase(c.buffer.begin(), c.buffer.begin() + ptrdiff_t(total));
        // Replies are small; a peer that does not read them is dropped.
        if (!reply.empty() && ::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL) != ssize_t(reply.size()))
            return false;
    }
    return true;
}

void Server::CloseConnection(size_t index)
{
    m_dispatcher.Forget(m_connections[index].peer);
    m_lastReplies.erase(m_connections[index].peer);
    m_buckets.erase(m_connections[index].peer);
    ::close(m_connections[index].fd);
    m_connections.erase(m_connections.begin() + ptrdiff_t(index));
}

void Server::Housekeeping()
{
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastHousekeeping < std::chrono::seconds(5))
        return;
    m_lastHousekeeping = now;
    m_dispatcher.Expire();
    for (size_t i = m_connections.size(); i-- > 0;)
        if (now - m_connections[i].lastSeen > m_options.idleTimeout)
            CloseConnection(i);
    // Datagram peers leave no trace of their going: forget idle ones.
    if (m_buckets.size() > 4096) {
        m_buckets.clear();
        m_lastReplies.clear();
    }
}

void Server::Run()
{
    while (!m_stop) {
        std::vector<pollfd> fds;
        fds.push_back({m_wake[0], POLLIN, 0});
        fds.push_back({m_udp, POLLIN, 0});
        fds.push_back({m_tcp, POLLIN, 0});
        for (const Connection& c : m_connections)
            fds.push_back({c.fd, POLLIN, 0});
        int rc = ::poll(fds.data(), fds.size(), 1000);
        if (rc < 0 && errno != EINTR)
            break;
        if (m_stop)
            break;
        if (rc > 0) {
            if (fds[1].revents & POLLIN)
                ReadDatagrams();
            for (size_t i = fds.size(); i-- > 3;) {
                if (fds[i].revents == 0)
                    continue;
                if ((fds[i].revents & (POLLERR | POLLNVAL)) != 0 || !ReadConnection(m_connections[i - 3]))
                    CloseConnection(i - 3);
            }
            if (fds[2].revents & POLLIN)
                Accept();
        }
        Housekeeping();
    }
}

} // namespace melodrift::service
