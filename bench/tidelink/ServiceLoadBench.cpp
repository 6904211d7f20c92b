// Load on the reference server: 50 simulated clients on loopback greet, log
// in and synchronise styles, notices and questions over and over for a
// bounded time. Reports the answered requests per second.
#include "Database.h"
#include "Digest.h"
#include "Dispatcher.h"
#include "Server.h"
#include "StyleLibrary.h"
#include "Wire.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace melodrift;
using namespace melodrift::tidelink;

namespace {

constexpr int kClients = 50;
constexpr auto kDuration = std::chrono::seconds(3);

class LoadClient {
public:
    LoadClient(uint16_t port, bool tcp) : m_tcp(tcp)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_fd = ::socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
        m_ok = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~LoadClient() { ::close(m_fd); }

    // One request and its reply; false on timeout or a broken reply.
    bool Ask(Message& request, Message& reply)
    {
        request.sequence = ++m_sequence;
        request.code = 1024;
        uint8_t out[kSendCapacity];
        size_t n = EncodeMessage(request, out);
        if (!m_ok || ::send(m_fd, out, n, MSG_NOSIGNAL) != ssize_t(n))
            return false;
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return false;
            uint8_t in[kReceiveCapacity];
            size_t got = 0;
            if (m_tcp) {
                if (!ReadAll(in, kHeaderSize))
                    return false;
                size_t total = AnnouncedMessageSize(in);
                if (total == 0 || !ReadAll(in + kHeaderSize, total - kHeaderSize))
                    return false;
                got = total;
            } else {
                ssize_t r = ::recv(m_fd, in, sizeof in, 0);
                if (r <= 0)
                    return false;
                got = size_t(r);
            }
            if (DecodeMessage(in, got, reply) == DecodeStatus::Ok && reply.sequence == request.sequence)
                return true;
        }
    }

    bool Fetch(int32_t handle, int32_t size, int& requests)
    {
        int32_t have = 0;
        for (int32_t index = 0; have < size; ++index) {
            Message q, a;
            q.id = kFetchChunk;
            BodyWriter w(q);
            w.Int32(handle);
            w.Int32(index);
            if (!Ask(q, a) || a.code != 0 || a.Int(2) <= 0)
                return false;
            ++requests;
            have += a.Int(2);
        }
        Message q, a;
        q.id = kFetchChunk;
        BodyWriter w(q);
        w.Int32(handle);
        w.Int32(-1);
        requests += Ask(q, a) ? 1 : 0;
        return true;
    }

    // Greeting, login, style list, notices, questions: one session's work.
    int Session(const std::string& name, const std::string& digest)
    {
        int requests = 0;
        Message q, a;
        q.id = kGreeting;
        BodyWriter(q).Int32(1 << 16);
        requests += Ask(q, a) ? 1 : 0;
        q = Message{};
        q.id = kLogin;
        {
            uint8_t body[112] = {};
            std::memcpy(body, name.data(), name.size());
            std::memcpy(body + 32, digest.data(), 64);
            BodyWriter(q).Bytes(body, sizeof body);
        }
        if (!Ask(q, a) || a.code != 0)
            return requests;
        ++requests;
        int32_t user = a.Int(1);
        q = Message{};
        q.id = kStyleList;
        {
            BodyWriter w(q);
            w.Int32(0);
            w.Int32(user);
            w.Int32(0);
        }
        if (Ask(q, a) && a.code == 0) {
            ++requests;
            Fetch(a.Int(2), a.Int(3), requests);
        }
        q = Message{};
        q.id = kNoticeSync;
        {
            BodyWriter w(q);
            w.Int32(0);
            w.Zeros(324);
        }
        if (Ask(q, a) && a.code == 0) {
            ++requests;
            if (a.Int(1) > 0)
                Fetch(a.Int(0), a.Int(1), requests);
        }
        q = Message{};
        q.id = kQuestionSync;
        {
            BodyWriter w(q);
            w.Int32(0);
            w.Int32(0);
            w.Int32(user);
            w.Zeros(324);
        }
        if (Ask(q, a) && a.code == 0) {
            ++requests;
            if (a.Int(2) > 0)
                Fetch(a.Int(1), a.Int(2), requests);
        }
        return requests;
    }

private:
    bool ReadAll(uint8_t* to, size_t size)
    {
        size_t done = 0;
        while (done < size) {
            ssize_t r = ::recv(m_fd, to + done, size - done, 0);
            if (r <= 0)
                return false;
            done += size_t(r);
        }
        return true;
    }

    int m_fd = -1;
    bool m_tcp;
    bool m_ok = false;
    uint16_t m_sequence = 0;
};

void RunLoad(benchmark::State& state, bool tcp)
{
    auto dir = std::filesystem::temp_directory_path() / ("tidelink-load-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    service::Database db((dir / "load.db").string());
    std::string digest = PasswordDigest("pw");
    for (int i = 0; i < kClients; ++i)
        db.AddUser("user" + std::to_string(i), "u", service::HashDigest(digest, 1000));
    for (int id = 1; id <= 20; ++id) {
        std::vector<uint8_t> info(1800, 0);
        PutInt32(info.data(), id);
        std::memset(&info[264], 0xFF, 1800 - 264);
        db.PublishStyle(id, *service::EncodeDetail(info.data()), std::vector<uint8_t>(3000, uint8_t(id)));
    }
    for (int n = 0; n < 5; ++n)
        db.AddNotice(0, 0, "notice " + std::to_string(n), std::string(200, 'x'));
    service::Limits limits;
    limits.hashIterations = 1000;
    service::Dispatcher dispatcher(db, limits);
    service::ServerOptions options;
    options.port = 0;
    options.ratePerSecond = 1000000; // measure the server, not its limiter
    service::Server server(options, dispatcher);
    std::string why;
    if (!server.Open(why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::thread serverThread([&] { server.Run(); });

    for (auto _ : state) {
        std::atomic<long> requests{0}, sessions{0};
        auto until = std::chrono::steady_clock::now() + kDuration;
        auto started = std::chrono::steady_clock::now();
        std::vector<std::thread> clients;
        for (int i = 0; i < kClients; ++i)
            clients.emplace_back([&, i] {
                LoadClient c(server.Port(), tcp);
                while (std::chrono::steady_clock::now() < until) {
                    requests += c.Session("user" + std::to_string(i), digest);
                    ++sessions;
                }
            });
        for (auto& t : clients)
            t.join();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        state.SetIterationTime(seconds);
        state.counters["requests_per_second"] = double(requests) / seconds;
        state.counters["sessions"] = double(sessions);
    }
    server.Stop();
    serverThread.join();
    std::filesystem::remove_all(dir);
}

void BM_ServiceLoadUdp(benchmark::State& state) { RunLoad(state, false); }
void BM_ServiceLoadTcp(benchmark::State& state) { RunLoad(state, true); }

BENCHMARK(BM_ServiceLoadUdp)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServiceLoadTcp)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
