#pragma once

#include "Dispatcher.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace melodrift::service {

struct ServerOptions {
    std::string bindAddress = "127.0.0.1";
    uint16_t port = 12071;
    bool udp = true;
    bool tcp = true;
    int ratePerSecond = 200;        // requests one source address may send each second
    int globalRatePerSecond = 5000; // from sources not yet proven to read replies, all together
    size_t maxConnections = 256;
    size_t maxConnectionsPerSource = 8;
    std::chrono::seconds idleTimeout{120};
    std::chrono::milliseconds readDeadline{10000}; // to complete a message once begun
    size_t repliesPerSource = 16;          // kept for retries
    bool verbose = false;
};

struct ServerStats {
    uint64_t answered = 0;
    uint64_t dropped = 0;
};

// The protocol on UDP and TCP in one poll loop. Run() returns after Stop()
// (from any thread or a signal handler) with every socket closed.
class Server {
public:
    Server(ServerOptions options, Dispatcher& dispatcher);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the sockets; false (with why) when a port is taken. The bound
    // port is available afterwards (useful with port 0).
    bool Open(std::string& why);
    uint16_t Port() const { return m_boundPort; }
    void Run();
    void Stop();
    const ServerStats& Stats() const { return m_stats; }

private:
    struct Connection {
        int fd = -1;
        std::string peer, source;
        std::vector<uint8_t> buffer;
        Clock::time_point lastSeen;
        Clock::time_point begun; // when the buffered partial message began
    };

    void ReadDatagrams();
    void Accept();
    bool ReadConnection(Connection& c); // false: close it
    // Builds the answer for one received message; empty when dropped or
    // when it comes later (a password hash).
    // admitted: the source's rate was checked already.
    std::vector<uint8_t> Answer(const std::string& peer, const uint8_t* data, size_t size, bool admitted);
    void SendFinished();
    bool Allow(SourceState& source);
    void Remember(SourceState& source, const std::string& peer, const Message& request, uint64_t key,
                  const std::vector<uint8_t>& bytes);
    void CloseConnection(size_t index);
    void Housekeeping();

    ServerOptions m_options;
    Dispatcher& m_dispatcher;
    int m_udp = -1, m_tcp = -1, m_wake[2] = {-1, -1};
    uint16_t m_boundPort = 0;
    std::atomic<bool> m_stop{false};
    std::vector<Connection> m_connections;
    std::vector<uint8_t> m_datagrams; // receive buffers of one batch
    std::map<std::string, size_t> m_connectionsPerSource;
    // Requests whose answers wait for a hash: peer/id/sequence → request key.
    std::map<std::string, uint64_t> m_pending;
    double m_globalTokens = 0;
    Clock::time_point m_globalRefilled{};
    uint64_t m_nextConnection = 1;
    ServerStats m_stats;
    Clock::time_point m_lastHousekeeping;
};

} // namespace melodrift::service
