// Hostile traffic against the real server on loopback, each case from its
// own source addresses in 127.0.0.0/8: budgets, login expiry and back-off,
// floods of fresh sources, retries stored once, connection caps.
#include "Database.h"
#include "Digest.h"
#include "Dispatcher.h"
#include "Server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace melodrift;
using namespace melodrift::service;
using tidelink::BodyWriter;
using tidelink::Message;

namespace {

constexpr uint16_t kServerFault = 32771;

// One client socket sending from a chosen loopback address.
class Source {
public:
    Source(const std::string& ip, uint16_t port, int type = SOCK_DGRAM)
    {
        m_fd = ::socket(AF_INET, type, 0);
        sockaddr_in me{};
        me.sin_family = AF_INET;
        ::inet_pton(AF_INET, ip.c_str(), &me.sin_addr);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&me), sizeof me), 0) << ip;
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(port);
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
    }
    ~Source() { ::close(m_fd); }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    bool Connected() const { return m_connected; }
    static std::vector<uint8_t> Encode(uint16_t id, uint16_t sequence, const std::vector<int32_t>& ints,
                                       const std::vector<uint8_t>& tail = {})
    {
        Message m;
        m.id = id;
        m.sequence = sequence;
        BodyWriter w(m);
        for (int32_t v : ints)
            w.Int32(v);
        w.Bytes(tail.data(), tail.size());
        std::vector<uint8_t> out(tidelink::kSendCapacity);
        out.resize(tidelink::EncodeMessage(m, out.data()));
        return out;
    }
    void SendRaw(const std::vector<uint8_t>& bytes) { ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void Send(uint16_t id, const std::vector<int32_t>& ints, const std::vector<uint8_t>& tail = {})
    {
        SendRaw(Encode(id, ++m_sequence, ints, tail));
    }
    // The reply to a request, or nothing within the wait.
    std::optional<Message> Receive(int waitMs = 2000)
    {
        uint8_t in[tidelink::kReceiveCapacity];
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, waitMs) != 1)
            return std::nullopt;
        ssize_t n = ::recv(m_fd, in, sizeof in, 0);
        Message m;
        if (n <= 0 || tidelink::DecodeMessage(in, size_t(n), m) != tidelink::DecodeStatus::Ok)
            return std::nullopt;
        return m;
    }
    std::optional<Message> Ask(uint16_t id, const std::vector<int32_t>& ints, const std::vector<uint8_t>& tail = {})
    {
        Send(id, ints, tail);
        return Receive();
    }
    // True when the peer closed the stream (TCP) within the wait.
    bool Closed(int waitMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        uint8_t in[64];
        return ::poll(&p, 1, waitMs) == 1 && ::recv(m_fd, in, sizeof in, 0) <= 0;
    }
    uint16_t Code(uint16_t id, const std::vector<int32_t>& ints, const std::vector<uint8_t>& tail = {})
    {
        auto reply = Ask(id, ints, tail);
        return reply ? reply->code : 0xFFFF;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    uint16_t m_sequence = 100;
};

std::vector<uint8_t> Credentials(const std::string& name, const std::string& password)
{
    std::vector<uint8_t> body(112, 0);
    std::memcpy(body.data(), name.data(), name.size());
    std::string digest = tidelink::PasswordDigest(password);
    std::memcpy(body.data() + 32, digest.data(), digest.size());
    return body;
}

std::vector<uint8_t> Question(const std::string& text)
{
    std::vector<uint8_t> tail(text.begin(), text.end());
    tail.push_back(0);
    return tail;
}

class AbuseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("melodrift-abuse-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        db = std::make_unique<Database>((dir / "s.db").string());
        userId = *db->AddUser("alice", "Al", HashDigest(tidelink::PasswordDigest("secret"), 1000));
        db->PublishStyle(3, {1, 2, 3}, std::vector<uint8_t>(10000, 9));
        limits.hashIterations = 1000;
        limits.hashWorkers = 2;
        options.port = 0;
        options.ratePerSecond = 1000;
    }
    void Start()
    {
        dispatcher = std::make_unique<Dispatcher>(*db, limits);
        server = std::make_unique<Server>(options, *dispatcher);
        std::string why;
        ASSERT_TRUE(server->Open(why)) << why;
        thread = std::thread([this] { server->Run(); });
    }
    void TearDown() override
    {
        if (server) {
            server->Stop();
            thread.join();
        }
        server.reset();
        dispatcher.reset();
        db.reset();
        std::filesystem::remove_all(dir);
    }
    // How many questions were ever stored, read through a second connection.
    int32_t StoredQuestions() { return Database((dir / "s.db").string()).QuestionStamp(); }

    std::filesystem::path dir;
    std::unique_ptr<Database> db;
    Limits limits;
    ServerOptions options;
    std::unique_ptr<Dispatcher> dispatcher;
    std::unique_ptr<Server> server;
    std::thread thread;
    int32_t userId = 0;
};

TEST_F(AbuseTest, SourcesThatNeverFetchCannotCrowdOutTransfersInUse)
{
    limits.maxTransfers = 32;
    limits.maxTransfersPerSource = 4;
    Start();
    Source honest("127.0.0.2", server->Port());
    auto offer = honest.Ask(tidelink::kStyleData, {0, 3});
    ASSERT_TRUE(offer && offer->code == 0);
    int32_t handle = offer->Int(0);
    ASSERT_EQ(honest.Code(tidelink::kFetchChunk, {handle, 0}), 0);

    // 40 forged sources ask for the style eight times each and never fetch.
    for (int s = 0; s < 40; ++s) {
        Source forged("127.0.1." + std::to_string(s + 1), server->Port());
        for (int i = 0; i < 8; ++i)
            forged.Send(tidelink::kStyleData, {0, 3});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the kernel's queue drains
    Source last("127.0.1.200", server->Port());
    std::vector<int32_t> handles;
    for (int i = 0; i < 6; ++i)
        if (auto r = last.Ask(tidelink::kStyleData, {0, 3}); r && r->code == 0)
            handles.push_back(r->Int(0));
        else
            ADD_FAILURE() << "ask " << i << (r ? " code " + std::to_string(r->code) : std::string(" no reply"));
    ASSERT_EQ(handles.size(), 6u) << "unfetched transfers make room, so offers go on";
    EXPECT_NE(last.Code(tidelink::kFetchChunk, {handles[0], 0}), 0) << "a source keeps at most four";
    EXPECT_EQ(last.Code(tidelink::kFetchChunk, {handles[5], 0}), 0);

    EXPECT_EQ(honest.Code(tidelink::kFetchChunk, {handle, 1}), 0) << "the transfer in use survived the flood";
    auto again = honest.Ask(tidelink::kStyleData, {0, 3});
    ASSERT_TRUE(again && again->code == 0);
    EXPECT_EQ(honest.Code(tidelink::kFetchChunk, {again->Int(0), 2}), 0);
}

TEST_F(AbuseTest, AnIdleLoginEndsAndUseKeepsItAlive)
{
    limits.sessionIdle = std::chrono::milliseconds(600);
    Start();
    Source peer("127.0.0.3", server->Port());
    ASSERT_EQ(peer.Code(tidelink::kLogin, {}, Credentials("alice", "secret")), 0);
    for (int i = 0; i < 3; ++i) { // 1.2 s in all, never 0.6 s idle
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(peer.Code(tidelink::kNoticeSync, {userId, 0}), 0) << "used at step " << i;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_EQ(peer.Code(tidelink::kNoticeSync, {userId, 0}), 32775) << "the login ended while idle";
}

TEST_F(AbuseTest, FailedLoginsBackOffPerSourceAndPerAccount)
{
    limits.loginAllowance = 3;
    limits.loginBackoff = std::chrono::milliseconds(500);
    Start();
    Source guesser("127.0.0.4", server->Port());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(guesser.Code(tidelink::kLogin, {}, Credentials("alice", "guess" + std::to_string(i))), 32773) << i;
    EXPECT_EQ(guesser.Code(tidelink::kLogin, {}, Credentials("alice", "secret")), kServerFault)
        << "the source waits, even with the right password";
    Source elsewhere("127.0.0.5", server->Port());
    EXPECT_EQ(elsewhere.Code(tidelink::kLogin, {}, Credentials("alice", "secret")), kServerFault)
        << "the account waits for everyone";
    EXPECT_EQ(elsewhere.Code(tidelink::kLogin, {}, Credentials("nobody", "x")), 32774)
        << "another source is not held back for other accounts";
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(elsewhere.Code(tidelink::kLogin, {}, Credentials("alice", "secret")), 0) << "after the wait";

    // Failures from sources that never read a reply (forgeable) do not lock
    // out a source that has: the owner still gets in.
    for (int i = 0; i < 4; ++i) {
        Source forged("127.0.4." + std::to_string(i + 1), server->Port());
        EXPECT_EQ(forged.Code(tidelink::kLogin, {}, Credentials("alice", "guess")), 32773);
    }
    Source fresh("127.0.4.99", server->Port());
    EXPECT_EQ(fresh.Code(tidelink::kLogin, {}, Credentials("alice", "secret")), kServerFault);
    Source owner("127.0.4.100", server->Port());
    auto offer = owner.Ask(tidelink::kStyleData, {0, 3});
    ASSERT_TRUE(offer && offer->code == 0);
    ASSERT_EQ(owner.Code(tidelink::kFetchChunk, {offer->Int(0), 0}), 0);
    EXPECT_EQ(owner.Code(tidelink::kLogin, {}, Credentials("alice", "secret")), 0);
}

TEST_F(AbuseTest, PasswordHashesDoNotHoldUpTheLoop)
{
    limits.hashIterations = 400000;
    limits.hashWorkers = 1;
    Start();
    // A stored hash at the slow setting, so each login costs its full time.
    Source slow("127.0.0.6", server->Port());
    slow.Send(tidelink::kLogin, {}, Credentials("nobody", "x"));
    slow.Send(tidelink::kLogin, {}, Credentials("nobody", "y"));
    Source other("127.0.0.7", server->Port());
    auto greeting = other.Ask(tidelink::kGreeting, {1 << 16, 0});
    ASSERT_TRUE(greeting.has_value()) << "answered while a hash runs";
    auto first = slow.Receive(10000);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->code, 32774);
}

TEST_F(AbuseTest, AFloodOfFreshSourcesLeavesOtherSourcesLimitsAlone)
{
    limits.sources = 64;
    options.ratePerSecond = 5;
    options.globalRatePerSecond = 0;
    Start();
    Source busy("127.0.0.8", server->Port());
    for (int i = 0; i < 20; ++i)
        busy.Send(tidelink::kProbe, {});
    int answered = 0;
    while (busy.Receive(200))
        ++answered;
    EXPECT_LE(answered, 6);
    // Three times the table's size of new addresses, one request each.
    for (int s = 0; s < 192; ++s) {
        Source forged("127.0.2." + std::to_string(s + 1), server->Port());
        forged.Send(tidelink::kProbe, {});
        if (s % 32 == 31)
            busy.Send(tidelink::kProbe, {}); // still active: not the oldest
    }
    while (busy.Receive(100)) {
    }
    for (int i = 0; i < 20; ++i)
        busy.Send(tidelink::kProbe, {});
    answered = 0;
    while (busy.Receive(200))
        ++answered;
    EXPECT_LE(answered, 6) << "the flood did not hand the busy source a fresh allowance";
}

TEST_F(AbuseTest, ARetriedQuestionIsStoredOnce)
{
    limits.sources = 64;
    Start();
    // Over UDP, with a flood of fresh sources between the try and the retry.
    Source asker("127.0.0.9", server->Port());
    auto question = Source::Encode(tidelink::kSubmitQuestion, 4242, {0x10000, 0, 0}, Question("how?"));
    asker.SendRaw(question);
    auto first = asker.Receive();
    ASSERT_TRUE(first && first->code == 0);
    for (int s = 0; s < 40; ++s) {
        Source forged("127.0.3." + std::to_string(s + 1), server->Port());
        forged.Send(tidelink::kProbe, {});
    }
    asker.SendRaw(question);
    auto retry = asker.Receive();
    ASSERT_TRUE(retry.has_value());
    EXPECT_EQ(retry->Int(0), first->Int(0));
    // Over TCP, the retry on a new connection after the first one broke.
    auto other = Source::Encode(tidelink::kSubmitQuestion, 4243, {0x10000, 0, 0}, Question("why?"));
    int32_t id = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Source stream("127.0.0.9", server->Port(), SOCK_STREAM);
        stream.SendRaw(other);
        auto r = stream.Receive();
        ASSERT_TRUE(r && r->code == 0);
        if (attempt == 0)
            id = r->Int(0);
        EXPECT_EQ(r->Int(0), id);
    }
    EXPECT_EQ(StoredQuestions(), 2);
}

TEST_F(AbuseTest, QuotasForRegistrationsAndQuestions)
{
    limits.registrationsPerSource = 2;
    limits.questionsPerSource = 3;
    Start();
    Source a("127.0.0.10", server->Port()), b("127.0.0.11", server->Port());
    struct Case {
        Source& from;
        uint16_t id;
        std::vector<uint8_t> tail;
        uint16_t expected;
    };
    std::vector<int32_t> anonymous = {0x10000, 0, 0};
    Case cases[] = {
        {a, tidelink::kRegister, Credentials("u1", "p"), 0},
        {a, tidelink::kRegister, Credentials("u2", "p"), 0},
        {a, tidelink::kRegister, Credentials("u3", "p"), kServerFault},
        {b, tidelink::kRegister, Credentials("u3", "p"), 0},
        {a, tidelink::kSubmitQuestion, Question("q1"), 0},
        {a, tidelink::kSubmitQuestion, Question("q2"), 0},
        {a, tidelink::kSubmitQuestion, Question("q3"), 0},
        {a, tidelink::kSubmitQuestion, Question("q4"), kServerFault},
        {b, tidelink::kSubmitQuestion, Question("q4"), 0},
    };
    int row = 0;
    for (Case& c : cases) {
        std::vector<int32_t> ints = c.id == tidelink::kSubmitQuestion ? anonymous : std::vector<int32_t>{};
        EXPECT_EQ(c.from.Code(c.id, ints, c.tail), c.expected) << "row " << row;
        ++row;
    }
    EXPECT_EQ(StoredQuestions(), 4);
}

TEST_F(AbuseTest, StreamsAreCappedPerSourceAndMustFinishTheirMessages)
{
    options.maxConnectionsPerSource = 3;
    options.readDeadline = std::chrono::milliseconds(300);
    Start();
    std::vector<std::unique_ptr<Source>> held;
    for (int i = 0; i < 3; ++i)
        held.push_back(std::make_unique<Source>("127.0.0.12", server->Port(), SOCK_STREAM));
    EXPECT_EQ(held[2]->Code(tidelink::kProbe, {}), 0);
    Source fourth("127.0.0.12", server->Port(), SOCK_STREAM);
    EXPECT_TRUE(fourth.Closed(2000)) << "a fourth connection from one source is refused";
    Source elsewhere("127.0.0.13", server->Port(), SOCK_STREAM);
    EXPECT_EQ(elsewhere.Code(tidelink::kProbe, {}), 0) << "other sources still get in";

    auto probe = Source::Encode(tidelink::kProbe, 1, {});
    held[0]->SendRaw(std::vector<uint8_t>(probe.begin(), probe.begin() + 4));
    EXPECT_TRUE(held[0]->Closed(3000)) << "half a message is not kept waiting for";
    EXPECT_EQ(held[1]->Code(tidelink::kProbe, {}), 0);
}

} // namespace
