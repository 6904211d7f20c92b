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
#include <sys/uio.h>
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

// "udp/1.2.3.4:5" back to its address.
bool DatagramAddress(const std::string& peer, sockaddr_in& a)
{
    if (peer.rfind("udp/", 0) != 0)
        return false;
    size_t colon = peer.rfind(':');
    if (colon == std::string::npos)
        return false;
    a = sockaddr_in{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(std::strtoul(peer.c_str() + colon + 1, nullptr, 10)));
    return ::inet_pton(AF_INET, peer.substr(4, colon - 4).c_str(), &a.sin_addr) == 1;
}

uint64_t RequestKey(const uint8_t* data, size_t size)
{
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

std::string PendingName(const std::string& peer, const Message& m)
{
    return peer + "#" + std::to_string(m.id) + "#" + std::to_string(m.sequence);
}

} // namespace

Server::Server(ServerOptions options, Dispatcher& dispatcher) : m_options(std::move(options)), m_dispatcher(dispatcher)
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_dispatcher.SetWakeFd(m_wake[1]);
}

Server::~Server()
{
    m_dispatcher.SetWakeFd(-1);
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
        // Room for a burst, so a flood is dropped by the limits, not the kernel.
        int buffer = 4 << 20;
        if (::setsockopt(m_udp, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
            ::setsockopt(m_udp, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer); // capped by the system
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

bool Server::Allow(SourceState& source)
{
    auto now = Clock::now();
    double rate = m_options.ratePerSecond;
    if (source.refilled == Clock::time_point{})
        source.tokens = rate;
    else
        source.tokens = std::min(rate, source.tokens + std::chrono::duration<double>(now - source.refilled).count() * rate);
    source.refilled = now;
    if (source.tokens < 1.0)
        return false;
    // Sources that never showed they read replies share one budget, so a
    // flood from many forged addresses cannot take the loop from the others.
    if (!source.proven && m_options.globalRatePerSecond > 0) {
        double global = m_options.globalRatePerSecond;
        m_globalTokens = m_globalRefilled == Clock::time_point{}
                             ? global
                             : std::min(global, m_globalTokens +
                                                    std::chrono::duration<double>(now - m_globalRefilled).count() * global);
        m_globalRefilled = now;
        if (m_globalTokens < 1.0)
            return false;
        m_globalTokens -= 1.0;
    }
    source.tokens -= 1.0;
    return true;
}

void Server::Remember(SourceState& source, const std::string& peer, const Message& request, uint64_t key,
                      const std::vector<uint8_t>& bytes)
{
    if (request.id == kProbe || m_options.repliesPerSource == 0)
        return;
    auto& replies = source.replies;
    if (replies.size() >= m_options.repliesPerSource)
        replies.erase(replies.begin());
    replies.push_back({peer, key, request.id, request.sequence, bytes});
}

std::vector<uint8_t> Server::Answer(const std::string& peer, const uint8_t* data, size_t size, bool admitted)
{
    SourceState& source = m_dispatcher.Sources().Touch(SourceOf(peer));
    if (!admitted && !Allow(source)) {
        ++m_stats.dropped;
        return {};
    }
    Message request;
    if (DecodeMessage(data, size, request) != DecodeStatus::Ok || request.id % 2 == 0) {
        ++m_stats.dropped;
        return {};
    }
    // A retried request (the same bytes again) gets the same answer again
    // instead of being carried out twice. A question has no answer bound to
    // its peer, so its retry on a new connection or port is caught as well.
    uint64_t key = RequestKey(data, size);
    if (request.id != kProbe) {
        bool anyPeer = request.id == kSubmitQuestion;
        for (const SourceState::Reply& r : source.replies)
            if (r.key == key && r.id == request.id && r.sequence == request.sequence && (anyPeer || r.peer == peer)) {
                ++m_stats.answered;
                return r.bytes;
            }
        if (m_pending.count(PendingName(peer, request)) != 0) {
            ++m_stats.dropped; // its answer is on the way
            return {};
        }
    }
    Message reply;
    Dispatcher::Outcome outcome = m_dispatcher.Handle(peer, request, reply);
    if (outcome == Dispatcher::Outcome::Drop) {
        ++m_stats.dropped;
        return {};
    }
    if (outcome == Dispatcher::Outcome::Pending) {
        m_pending[PendingName(peer, request)] = key;
        return {};
    }
    std::vector<uint8_t> bytes(kSendCapacity);
    bytes.resize(EncodeMessage(reply, bytes.data()));
    // The dispatcher may have made room in the table: look the source up again.
    Remember(m_dispatcher.Sources().Touch(SourceOf(peer)), peer, request, key, bytes);
    ++m_stats.answered;
    if (m_options.verbose)
        std::fprintf(stderr, "%s id %u seq %u -> code %u\n", peer.c_str(), request.id, request.sequence, reply.code);
    return bytes;
}

void Server::SendFinished()
{
    for (Dispatcher::Finished& f : m_dispatcher.TakeFinished()) {
        Message request;
        request.id = uint16_t(f.reply.id - 1);
        request.sequence = f.reply.sequence;
        auto pending = m_pending.find(PendingName(f.peer, request));
        if (pending == m_pending.end())
            continue;
        uint64_t key = pending->second;
        m_pending.erase(pending);
        std::vector<uint8_t> bytes(kSendCapacity);
        bytes.resize(EncodeMessage(f.reply, bytes.data()));
        Remember(m_dispatcher.Sources().Touch(SourceOf(f.peer)), f.peer, request, key, bytes);
        ++m_stats.answered;
        sockaddr_in to{};
        if (DatagramAddress(f.peer, to)) {
            ::sendto(m_udp, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            continue;
        }
        for (size_t i = 0; i < m_connections.size(); ++i) {
            if (m_connections[i].peer != f.peer)
                continue;
            if (::send(m_connections[i].fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != ssize_t(bytes.size()))
                CloseConnection(i);
            break;
        }
    }
}

void Server::ReadDatagrams()
{
    // Many datagrams per call, and the rate checked before anything else is
    // done with one: a flood costs as little as it can.
    constexpr unsigned kBatch = 32;
    if (m_datagrams.empty())
        m_datagrams.resize(kBatch * (kReceiveCapacity + 1));
    mmsghdr messages[kBatch];
    iovec vectors[kBatch];
    sockaddr_in from[kBatch];
    for (int round = 0; round < 4; ++round) {
        for (unsigned i = 0; i < kBatch; ++i) {
            vectors[i] = {m_datagrams.data() + i * (kReceiveCapacity + 1), kReceiveCapacity + 1};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof from[i];
        }
        int n = ::recvmmsg(m_udp, messages, kBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0)
            return;
        for (int i = 0; i < n; ++i) {
            size_t length = messages[i].msg_len;
            if (length > kReceiveCapacity || (messages[i].msg_hdr.msg_flags & MSG_TRUNC) != 0) {
                ++m_stats.dropped; // longer than any message
                continue;
            }
            char ip[INET_ADDRSTRLEN] = "";
            ::inet_ntop(AF_INET, &from[i].sin_addr, ip, sizeof ip);
            if (!Allow(m_dispatcher.Sources().Touch(ip))) {
                ++m_stats.dropped;
                continue;
            }
            std::string peer = "udp/" + std::string(ip) + ":" + std::to_string(ntohs(from[i].sin_port));
            std::vector<uint8_t> reply = Answer(peer, static_cast<uint8_t*>(vectors[i].iov_base), length, true);
            if (!reply.empty())
                ::sendto(m_udp, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from[i]), sizeof from[i]);
        }
        if (unsigned(n) < kBatch)
            return;
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
        std::string peer = PeerName(from);
        std::string source = SourceOf("tcp/" + peer);
        if (m_connections.size() >= m_options.maxConnections ||
            m_connectionsPerSource[source] >= m_options.maxConnectionsPerSource) {
            if (m_connectionsPerSource[source] == 0)
                m_connectionsPerSource.erase(source);
            ::close(fd);
            ++m_stats.dropped;
            continue;
        }
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Connection c;
        c.fd = fd;
        c.peer = "tcp/" + std::to_string(m_nextConnection++) + "/" + peer;
        c.source = source;
        c.lastSeen = Clock::now();
        m_connectionsPerSource[source]++;
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
    c.lastSeen = Clock::now();
    if (c.buffer.empty())
        c.begun = c.lastSeen;
    c.buffer.insert(c.buffer.end(), chunk, chunk + n);
    size_t used = 0;
    while (c.buffer.size() - used >= kHeaderSize) {
        size_t total = AnnouncedMessageSize(c.buffer.data() + used);
        if (total == 0)
            return false; // a broken header: the stream cannot be followed any more
        if (c.buffer.size() - used < total)
            break;
        std::vector<uint8_t> reply = Answer(c.peer, c.buffer.data() + used, total, false);
        used += total;
        // Replies are small; a peer that does not read them is dropped.
        if (!reply.empty() && ::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL) != ssize_t(reply.size()))
            return false;
    }
    c.buffer.erase(c.buffer.begin(), c.buffer.begin() + ptrdiff_t(used));
    if (used > 0 && !c.buffer.empty())
        c.begun = c.lastSeen;
    return true;
}

void Server::CloseConnection(size_t index)
{
    Connection& c = m_connections[index];
    m_dispatcher.Forget(c.peer);
    if (auto at = m_connectionsPerSource.find(c.source); at != m_connectionsPerSource.end() && --at->second == 0)
        m_connectionsPerSource.erase(at);
    ::close(c.fd);
    m_connections.erase(m_connections.begin() + ptrdiff_t(index));
}

void Server::Housekeeping()
{
    auto now = Clock::now();
    if (now - m_lastHousekeeping < std::chrono::seconds(1))
        return;
    m_lastHousekeeping = now;
    m_dispatcher.Expire();
    // Idle connections, and those that began a message and never finished it.
    for (size_t i = m_connections.size(); i-- > 0;) {
        const Connection& c = m_connections[i];
        if (now - c.lastSeen > m_options.idleTimeout || (!c.buffer.empty() && now - c.begun > m_options.readDeadline))
            CloseConnection(i);
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
            if (fds[0].revents & POLLIN) {
                char drain[64];
                while (::read(m_wake[0], drain, sizeof drain) > 0) {
                }
            }
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
        SendFinished();
        Housekeeping();
    }
}

} // namespace melodrift::service
