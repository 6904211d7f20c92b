// The service under attack: the real melodrift-service on loopback, 50
// honest clients doing a user's work (greeting, login, style list and data,
// notices, questions, a question of their own now and then, one upload)
// while forged sources (one socket per address in 127.10.0.0/16, loopback
// only) send greetings, logins and style-data requests as fast as they can.
// Reports the honest clients' success rate and reply times, the server's
// peak memory, and whether every accepted question and upload is stored
// exactly once.
//   MELODRIFT_ATTACK_SECONDS (default 60), MELODRIFT_ATTACK_SOURCES (10000),
//   MELODRIFT_ATTACK_SENDER_NICE (19; 0 runs the forged senders at the
//   server's priority)
#include "Database.h"
#include "Digest.h"
#include "PasswordHash.h"
#include "Wire.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace melodrift;
using namespace melodrift::tidelink;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kHonest = 50;
constexpr size_t kSongInfo = 1008;

int EnvInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

std::string Address(int n) // 127.10.0.1 and on; never outside 127.0.0.0/8
{
    return "127." + std::to_string(10 + n / 62500) + "." + std::to_string(n / 250 % 250) + "." +
           std::to_string(n % 250 + 1);
}

int BoundSocket(const std::string& ip, uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in me{};
    me.sin_family = AF_INET;
    ::inet_pton(AF_INET, ip.c_str(), &me.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

std::vector<uint8_t> Encode(const Message& m)
{
    std::vector<uint8_t> out(kSendCapacity);
    out.resize(EncodeMessage(m, out.data()));
    return out;
}

Message Request(uint16_t id, std::initializer_list<int32_t> ints, size_t zeros = 0)
{
    Message m;
    m.id = id;
    BodyWriter w(m);
    for (int32_t v : ints)
        w.Int32(v);
    w.Zeros(zeros);
    return m;
}

struct Server {
    pid_t pid = -1;
    uint16_t port = 0;
};

Server StartServer(const std::string& db)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(MELODRIFT_SERVICE_BINARY, "melodrift-service", "serve", "--db", db.c_str(), "--port", "0", "--styles",
                MELODRIFT_STYLE_DIR, nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* lines = ::fdopen(out[0], "r");
    char line[256] = "";
    unsigned port = 0;
    while (std::fgets(line, sizeof line, lines) != nullptr)
        if (std::sscanf(line, "listening on 127.0.0.1:%u", &port) == 1)
            break;
    // The rest of its output is not needed; keep the pipe drained.
    std::thread([lines] {
        char sink[256];
        while (std::fgets(sink, sizeof sink, lines) != nullptr) {
        }
        std::fclose(lines);
    }).detach();
    return {pid, uint16_t(port)};
}

long PeakKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmHWM:" && status >> value)
            return value;
    }
    return -1;
}

struct Tally {
    long attempted = 0, succeeded = 0;
    std::map<int, long> failedById; // no reply after three tries: id; a refusal: id * 100000 + code
    std::vector<double> latencyMs;
    std::vector<std::string> acceptedQuestions, askedQuestions;
    std::vector<std::string> acceptedUploads, triedUploads;
};

// One honest user on its own address: asks, waits a second, asks the same
// bytes again up to three times, as the client library does.
class Honest {
public:
    Honest(int index, uint16_t port, const std::vector<int32_t>& styles)
        : m_index(index), m_styles(styles), m_fd(BoundSocket("127.9.0." + std::to_string(index + 1), port)),
          m_random(uint32_t(index))
    {
    }
    ~Honest() { ::close(m_fd); }

    void Run(Clock::time_point until, Tally& t)
    {
        std::string digest = PasswordDigest("pw" + std::to_string(m_index));
        int32_t user = 0;
        // A program greets and logs in once, then synchronises now and then;
        // it logs in again only when that did not work.
        for (int session = 0; Clock::now() < until; ++session) {
            Message q, a;
            if (user == 0) {
                q.id = kGreeting;
                BodyWriter(q).Int32(1 << 16);
                Ask(q, a, t, 0);
                q = Message{};
                q.id = kLogin;
                uint8_t body[112] = {};
                std::string name = "user" + std::to_string(m_index);
                std::memcpy(body, name.data(), name.size());
                std::memcpy(body + 32, digest.data(), 64);
                BodyWriter(q).Bytes(body, sizeof body);
                user = Ask(q, a, t, 0) ? a.Int(1) : 0;
            }
            q = Request(kStyleList, {0, user, 0});
            if (Ask(q, a, t, 0))
                Fetch(a.Int(2), a.Int(3), t);
            q = Request(kStyleData, {0, m_styles[m_random() % m_styles.size()]});
            if (Ask(q, a, t, 0))
                Fetch(a.Int(0), a.Int(1), t);
            q = Request(kNoticeSync, {0}, 324);
            if (Ask(q, a, t, 0) && a.Int(1) > 0)
                Fetch(a.Int(0), a.Int(1), t);
            q = Request(kQuestionSync, {0, m_questionStamp, user}, 324);
            if (Ask(q, a, t, 0)) {
                if (a.Int(2) > 0 && Fetch(a.Int(1), a.Int(2), t))
                    m_questionStamp = a.Int(0);
            }
            // A user asks a question now and then, and uploads one song.
            if (session % 8 == 1 && m_asked < 3)
                AskQuestion(user, t);
            if (session == 3 && user != 0)
                Upload(user, t);
        }
    }

private:
    bool Ask(Message& q, Message& a, Tally& t, uint16_t expected)
    {
        q.sequence = ++m_sequence;
        q.code = 1024;
        std::vector<uint8_t> bytes = Encode(q);
        auto started = Clock::now();
        ++t.attempted;
        for (int attempt = 0; attempt < 3; ++attempt) {
            ::send(m_fd, bytes.data(), bytes.size(), 0);
            auto deadline = Clock::now() + std::chrono::seconds(1);
            for (;;) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                pollfd p{m_fd, POLLIN, 0};
                if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
                    break;
                uint8_t in[kReceiveCapacity];
                ssize_t n = ::recv(m_fd, in, sizeof in, 0);
                if (n <= 0 || DecodeMessage(in, size_t(n), a) != DecodeStatus::Ok || a.sequence != q.sequence ||
                    a.id != q.id + 1)
                    continue;
                t.latencyMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
                if (a.code == expected) {
                    ++t.succeeded;
                    return true;
                }
                ++t.failedById[q.id * 100000 + a.code];
                return false;
            }
        }
        ++t.failedById[q.id];
        return false;
    }
    bool Fetch(int32_t handle, int32_t size, Tally& t)
    {
        int32_t have = 0;
        for (int32_t index = 0; have < size; ++index) {
            Message q, a;
            q.id = kFetchChunk;
            BodyWriter w(q);
            w.Int32(handle);
            w.Int32(index);
            if (!Ask(q, a, t, 0) || a.Int(2) <= 0)
                return false;
            have += a.Int(2);
        }
        Message q, a;
        q.id = kFetchChunk;
        BodyWriter w(q);
        w.Int32(handle);
        w.Int32(-1);
        Ask(q, a, t, 0);
        return true;
    }
    void AskQuestion(int32_t user, Tally& t)
    {
        std::string text = "question " + std::to_string(m_index) + "-" + std::to_string(m_asked++);
        Message q, a;
        q.id = kSubmitQuestion;
        BodyWriter w(q);
        w.Int32(1 << 16);
        w.Int32(0);
        w.Int32(user);
        w.Bytes(text.c_str(), text.size() + 1);
        t.askedQuestions.push_back(text);
        if (Ask(q, a, t, 0))
            t.acceptedQuestions.push_back(text);
    }
    void Upload(int32_t user, Tally& t)
    {
        std::string tag = "<upload-" + std::to_string(m_index) + ">";
        std::vector<uint8_t> info(kSongInfo, 0), song(3000, uint8_t(m_index));
        std::memcpy(info.data(), tag.data(), tag.size());
        t.triedUploads.push_back(tag);
        Message q, a;
        q.id = kUploadStart;
        {
            BodyWriter w(q);
            w.Int32(0);
            w.Int32(user);
            w.Int32(int32_t(kSongInfo + song.size()));
        }
        if (!Ask(q, a, t, 0))
            return;
        int32_t handle = a.Int(0);
        size_t sent = 0;
        for (int32_t index = 0; sent < song.size() || index == 0; ++index) {
            const uint8_t* bytes = index == 0 ? info.data() : song.data() + sent;
            size_t count = index == 0 ? kSongInfo : std::min<size_t>(1400, song.size() - sent);
            q = Message{};
            q.id = kUploadChunk;
            BodyWriter w(q);
            w.Int32(handle);
            w.Int32(index);
            w.Int32(int32_t(count));
            w.Bytes(bytes, count);
            if (index > 0)
                sent += count;
            bool last = index > 0 && sent >= song.size();
            if (!Ask(q, a, t, last ? 5 : 0))
                return;
            if (last)
                t.acceptedUploads.push_back(tag);
        }
    }

    int m_index;
    const std::vector<int32_t>& m_styles;
    int m_fd;
    std::minstd_rand m_random;
    uint16_t m_sequence = 0;
    int32_t m_questionStamp = 0;
    int m_asked = 0;
};

// Forged sources: one socket per address, never reading a reply. The
// senders run at the lowest priority: an attacker's processor is not the
// server's, and on a shared machine two spinning senders would otherwise
// take the processor from the server instead of testing its defences.
void Flood(const std::vector<int>& sockets, const std::vector<std::vector<uint8_t>>& requests,
           Clock::time_point until, std::atomic<long>& sent)
{
    const char* nice = std::getenv("MELODRIFT_ATTACK_SENDER_NICE");
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), nice != nullptr ? std::atoi(nice) : 19);
    long mine = 0;
    size_t r = 0;
    while (Clock::now() < until) {
        for (size_t i = 0; i < sockets.size(); ++i) {
            const auto& bytes = requests[r++ % requests.size()];
            if (::send(sockets[i], bytes.data(), bytes.size(), MSG_DONTWAIT) > 0)
                ++mine;
        }
    }
    sent += mine;
}

long CountRows(sqlite3* db, const char* sql, const std::string& text, bool asBlob)
{
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    if (asBlob)
        sqlite3_bind_blob(s, 1, text.data(), int(text.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_text(s, 1, text.data(), int(text.size()), SQLITE_TRANSIENT);
    long n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    return n;
}

void BM_ServiceUnderAttack(benchmark::State& state)
{
    const int seconds = EnvInt("MELODRIFT_ATTACK_SECONDS", 60);
    const int sources = EnvInt("MELODRIFT_ATTACK_SOURCES", 10000);
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);

    auto dir = std::filesystem::temp_directory_path() / ("melodrift-attack-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string dbPath = (dir / "service.db").string();
    std::vector<int32_t> styles;
    {
        service::Database db(dbPath);
        for (int i = 0; i < kHonest; ++i)
            db.AddUser("user" + std::to_string(i), "u",
                       service::HashDigest(PasswordDigest("pw" + std::to_string(i)), 60000));
        for (int n = 0; n < 5; ++n)
            db.AddNotice(0, 0, "notice " + std::to_string(n), std::string(200, 'x'));
    }
    Server server = StartServer(dbPath);
    if (server.port == 0) {
        state.SkipWithError("melodrift-service did not start");
        return;
    }
    {
        service::Database db(dbPath);
        for (const auto& row : db.StyleList())
            styles.push_back(row.id);
    }
    if (styles.empty()) {
        state.SkipWithError("no styles published");
        ::kill(server.pid, SIGTERM);
        ::waitpid(server.pid, nullptr, 0);
        return;
    }

    std::vector<std::vector<uint8_t>> forged;
    for (int k = 0; k < 12; ++k) {
        Message m;
        m.sequence = uint16_t(k);
        m.code = 1024;
        BodyWriter w(m);
        if (k % 3 == 0) {
            m.id = kGreeting;
            w.Int32(1 << 16);
        } else if (k % 3 == 1) {
            m.id = kStyleData;
            w.Int32(0);
            w.Int32(styles[size_t(k) % styles.size()]);
        } else {
            m.id = kLogin;
            uint8_t body[112] = {};
            std::string name = k % 2 ? "user" + std::to_string(k) : "nobody" + std::to_string(k);
            std::memcpy(body, name.data(), name.size());
            std::memset(body + 32, 'a', 64);
            w.Bytes(body, sizeof body);
        }
        forged.push_back(Encode(m));
    }
    std::vector<int> spoofSockets;
    for (int n = 0; n < sources; ++n) {
        int fd = BoundSocket(Address(n), server.port);
        if (fd >= 0)
            spoofSockets.push_back(fd);
    }

    for (auto _ : state) {
        auto until = Clock::now() + std::chrono::seconds(seconds);
        std::atomic<long> spoofed{0};
        std::vector<Tally> tallies(kHonest);
        std::vector<std::thread> threads;
        size_t half = spoofSockets.size() / 2;
        std::vector<int> first(spoofSockets.begin(), spoofSockets.begin() + ptrdiff_t(half));
        std::vector<int> second(spoofSockets.begin() + ptrdiff_t(half), spoofSockets.end());
        threads.emplace_back([&] { Flood(first, forged, until, spoofed); });
        threads.emplace_back([&] { Flood(second, forged, until, spoofed); });
        for (int i = 0; i < kHonest; ++i)
            threads.emplace_back([&, i] {
                Honest client(i, server.port, styles);
                client.Run(until, tallies[size_t(i)]);
            });
        for (auto& t : threads)
            t.join();
        state.SetIterationTime(seconds);

        long peak = PeakKilobytes(server.pid);
        ::kill(server.pid, SIGTERM);
        int status = 0;
        ::waitpid(server.pid, &status, 0);

        Tally all;
        for (Tally& t : tallies) {
            all.attempted += t.attempted;
            all.succeeded += t.succeeded;
            all.latencyMs.insert(all.latencyMs.end(), t.latencyMs.begin(), t.latencyMs.end());
            for (auto [id, n] : t.failedById)
                all.failedById[id] += n;
            for (auto* list : {&t.acceptedQuestions, &t.askedQuestions, &t.acceptedUploads, &t.triedUploads}) {
                auto& into = list == &t.acceptedQuestions ? all.acceptedQuestions
                             : list == &t.askedQuestions  ? all.askedQuestions
                             : list == &t.acceptedUploads ? all.acceptedUploads
                                                          : all.triedUploads;
                into.insert(into.end(), list->begin(), list->end());
            }
        }
        std::sort(all.latencyMs.begin(), all.latencyMs.end());
        auto percentile = [&](double p) {
            return all.latencyMs.empty() ? 0.0 : all.latencyMs[size_t(p * double(all.latencyMs.size() - 1))];
        };
        sqlite3* db = nullptr;
        sqlite3_open(dbPath.c_str(), &db);
        long wrongQuestions = 0, wrongUploads = 0;
        for (const std::string& q : all.askedQuestions) {
            long n = CountRows(db, "SELECT COUNT(*) FROM questions WHERE question=?", q, false);
            bool accepted = std::find(all.acceptedQuestions.begin(), all.acceptedQuestions.end(), q) !=
                            all.acceptedQuestions.end();
            wrongQuestions += (n > 1 || (accepted && n != 1)) ? 1 : 0;
        }
        for (const std::string& u : all.triedUploads) {
            long n = CountRows(db, "SELECT COUNT(*) FROM songs WHERE instr(info, ?) > 0", u, true);
            bool accepted =
                std::find(all.acceptedUploads.begin(), all.acceptedUploads.end(), u) != all.acceptedUploads.end();
            wrongUploads += (n > 1 || (accepted && n != 1)) ? 1 : 0;
        }
        sqlite3_close(db);

        state.counters["honest_success_pct"] = all.attempted ? 100.0 * double(all.succeeded) / double(all.attempted) : 0;
        state.counters["honest_requests"] = double(all.attempted);
        state.counters["reply_median_ms"] = percentile(0.5);
        state.counters["reply_p99_ms"] = percentile(0.99);
        state.counters["spoofed_per_s"] = double(spoofed) / seconds;
        state.counters["spoof_sources"] = double(spoofSockets.size());
        state.counters["server_peak_MB"] = double(peak) / 1024.0;
        state.counters["server_clean_exit"] = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
        state.counters["questions_accepted"] = double(all.acceptedQuestions.size());
        state.counters["uploads_accepted"] = double(all.acceptedUploads.size());
        state.counters["stored_not_once"] = double(wrongQuestions + wrongUploads);
        for (auto [id, n] : all.failedById)
            state.counters["failed_" + std::to_string(id)] = double(n);
    }
    for (int fd : spoofSockets)
        ::close(fd);
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_ServiceUnderAttack)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
