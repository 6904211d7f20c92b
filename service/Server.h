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
    int ratePerSecond = 200;      // requests a peer may send each second
    size_t maxConnections = 256;
    std::chrono::seconds idleTimeout{120};
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
        std::string peer;
        std::vector<uint8_t> buffer;
        std::chrono::steady_clock::time_point lastSeen;
    };
    struct Bucket {
        double tokens = 0;
        std::chrono::steady_clock::time_point refilled;
    };
    struct LastReply {
        uint16_t id = 0, sequence = 0;
        std::vector<uint8_t> bytes;
    };

    void ReadDatagrams();
    void Accept();
    bool ReadConnection(Connection& c); // false: close it
    // Builds the answer for one received message; empty when dropped.
    std::vector<uint8_t> Answer(const std::string& peer, const uint8_t* data, size_t size);
    bool Allow(const std::string& peer);
    void CloseConnection(size_t index);
    void Housekeeping();

    ServerOptions m_options;
    Dispatcher& m_dispatcher;
    int m_udp = -1, m_tcp = -1, m_wake[2] = {-1, -1};
    uint16_t m_boundPort = 0;
    std::atomic<bool> m_stop{false};
    std::vector<Connection> m_connections;
    std::map<std::string, Bucket> m_buckets;
    std::map<std::string, LastReply> m_lastReplies;
    uint64_t m_nextConnection = 1;
    ServerStats m_stats;
    std::chrono::steady_clock::time_point m_lastHousekeeping;
};

} // namespace melodrift::service
