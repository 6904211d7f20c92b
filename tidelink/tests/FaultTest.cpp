// The client facing a server that misbehaves: a datagram relay between them
// drops, reorders and forges replies.
#include "Loopback.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <deque>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace loopback;
using namespace melodrift::tidelink;

namespace {

enum class Fault { Drop, WrongSequenceFirst, WrongIdFirst, GarbageFirst, OversizedFirst, Blackhole };

class FaultRelay {
public:
    explicit FaultRelay(uint16_t serverPort)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_front = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ::bind(m_front, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(m_front, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        a.sin_port = htons(serverPort);
        m_back = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ::connect(m_back, reinterpret_cast<sockaddr*>(&a), sizeof a);
        m_thread = std::thread([this] { Run(); });
    }
    ~FaultRelay()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_front);
        ::close(m_back);
    }
    uint16_t Port() const { return m_port; }

    // The next reply with this id suffers the fault.
    void Plan(uint16_t replyId, Fault fault)
    {
        std::lock_guard lock(m_lock);
        m_plans.push_back({replyId, fault, 0});
    }
    // The fault hits the n-th reply with this id (0 = the next).
    void PlanAfter(uint16_t replyId, Fault fault, int skip)
    {
        std::lock_guard lock(m_lock);
        m_plans.push_back({replyId, fault, skip});
    }
    int Requests(uint16_t id)
    {
        std::lock_guard lock(m_lock);
        return m_requests[id];
    }

private:
    struct PlanEntry {
        uint16_t id;
        Fault fault;
        int skip;
    };

    void ToClient(const uint8_t* data, size_t size)
    {
        ::sendto(m_front, data, size, 0, reinterpret_cast<sockaddr*>(&m_client), sizeof m_client);
    }

    void Relay(std::vector<uint8_t> reply)
    {
        uint16_t id = uint16_t(reply[6] << 8 | reply[7]);
        std::optional<Fault> fault;
        {
            std::lock_guard lock(m_lock);
            if (m_blackhole)
                return;
            for (auto it = m_plans.begin(); it != m_plans.end(); ++it) {
                if (it->id != id)
                    continue;
                if (it->skip-- > 0)
                    break;
                fault = it->fault;
                m_plans.erase(it);
                break;
            }
        }
        if (!fault) {
            ToClient(reply.data(), reply.size());
            return;
        }
        std::vector<uint8_t> forged = reply;
        switch (*fault) {
        case Fault::Drop: return;
        case Fault::Blackhole: {
            std::lock_guard lock(m_lock);
            m_blackhole = true;
            return;
        }
        case Fault::WrongSequenceFirst: forged[5] ^= 0x01; break;
        case Fault::WrongIdFirst: forged[7] = uint8_t(forged[7] + 2); break;
        case Fault::GarbageFirst: forged[0] = 0x00; break;
        case Fault::OversizedFirst:
            forged.resize(8192, 0);
            forged[2] = uint8_t((8183 + 8) >> 8);
            forged[3] = uint8_t(8183 + 8);
            break;
        }
        ToClient(forged.data(), forged.size());
        ToClient(reply.data(), reply.size());
    }

    void Run()
    {
        uint8_t buffer[9000];
        while (!m_stop) {
            pollfd p[2] = {{m_front, POLLIN, 0}, {m_back, POLLIN, 0}};
            if (::poll(p, 2, 20) <= 0)
                continue;
            if (p[0].revents & POLLIN) {
                socklen_t len = sizeof m_client;
                ssize_t n = ::recvfrom(m_front, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&m_client), &len);
                if (n >= 10) {
                    std::lock_guard lock(m_lock);
                    m_requests[uint16_t(buffer[6] << 8 | buffer[7])]++;
                }
                if (n > 0)
                    ::send(m_back, buffer, size_t(n), 0);
            }
            if (p[1].revents & POLLIN) {
                ssize_t n = ::recv(m_back, buffer, sizeof buffer, 0);
                if (n >= 10)
                    Relay(std::vector<uint8_t>(buffer, buffer + n));
            }
        }
    }

    int m_front = -1, m_back = -1;
    uint16_t m_port = 0;
    sockaddr_in m_client{};
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::deque<PlanEntry> m_plans;
    std::map<uint16_t, int> m_requests;
    bool m_blackhole = false;
    std::thread m_thread;
};

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<ServerHarness>(true, false);
        server->AddUser("alice", "secret");
        relay = std::make_unique<FaultRelay>(server->Port());
        client = std::make_unique<ClientHarness>(relay->Port());
        ASSERT_TRUE(client->StartGreeted());
        ASSERT_TRUE(client->service->UsesUdp());
    }
    void TearDown() override
    {
        client.reset();
        relay.reset();
        server.reset();
    }

    LogLinesGuard log;
    PostBox posts;
    std::unique_ptr<ServerHarness> server;
    std::unique_ptr<FaultRelay> relay;
    std::unique_ptr<ClientHarness> client;
};

TEST_F(FaultTest, ForgedRepliesAreDroppedAndTheRealOneIsTaken)
{
    struct Case {
        Fault fault;
        const char* logged;
    };
    const Case cases[] = {
        {Fault::WrongSequenceFirst, "读取网络消息失败：无效的序列号"},
        {Fault::WrongIdFirst, "读取网络消息失败：无效的响应消息 respect 22, get 24"},
        {Fault::GarbageFirst, "读取网络消息失败：无效的消息头 0 6E"},
        {Fault::OversizedFirst, "读取网络消息失败：无效的消息体长度 len=8183"},
    };
    int asked = relay->Requests(kLogin);
    for (const Case& c : cases) {
        relay->Plan(kLogin + 1, c.fault);
        CS_UserRecord& user = Keep(User("alice", "secret"));
        EXPECT_EQ(client->service->Login(&user, true), 0) << c.logged;
        EXPECT_TRUE(log.Contains(c.logged)) << c.logged;
        client->service->Logoff();
    }
    EXPECT_EQ(relay->Requests(kLogin) - asked, 4) << "a forged reply costs no retry";
}

TEST_F(FaultTest, LostReplyIsRetriedWithTheSameSequence)
{
    relay->Plan(kRegister + 1, Fault::Drop);
    CS_UserRecord& user = Keep(User("dora", "pw"));
    ASSERT_EQ(client->service->Register(&user), 0);
    EXPECT_EQ(relay->Requests(kRegister), 2);
    EXPECT_TRUE(server->db->FindUser("dora").has_value())
        << "the retry was answered from the first registration, not refused as a taken name";
}

TEST_F(FaultTest, ServerGoneMidTransferEndsTheDownloadWithoutStoring)
{
    server->Publish(8, "Long", 5000); // five chunks
    relay->PlanAfter(kFetchChunk + 1, Fault::Blackhole, 2);
    auto started = std::chrono::steady_clock::now();
    int32_t result = client->service->DownloadStyle(8, nullptr);
    EXPECT_TRUE(result == CS_ERR_TIMEOUT || result == -1) << result;
    EXPECT_TRUE(client->store.Data(8).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST_F(FaultTest, CancelEndsARequestWaitingForItsReply)
{
    relay->Plan(kSubmitQuestion + 1, Fault::Blackhole);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client->service->Cancel();
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(client->service->SubmitQuestion(0, "anyone there?"), CS_ERR_CANCELLED);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(240))
        << "the wait ends at the cancel, before the first attempt's polls run out";
    canceller.join();
    EXPECT_EQ(client->questions.LocalSize(), 0u);
}

TEST_F(FaultTest, EditionWithoutStyleLibraryNeverAsksForStyles)
{
    server->Publish(3, "Tango", 50);
    ClientHarness plain(relay->Port(), 3);
    ASSERT_TRUE(plain.StartGreeted());
    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(plain.service->Login(&user, true), 0);
    int before = relay->Requests(kStyleList);
    EXPECT_EQ(plain.service->DownloadStyle(3, nullptr), -1) << "no style store to put it in";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(relay->Requests(kStyleList), before) << "only the other client asked";
    EXPECT_EQ(relay->Requests(kStyleData), 0);
}

// A stream peer that answers the probe and then sends a broken header.
TEST(FaultStream, BrokenHeaderOnTcpDropsTheConnection)
{
    LogLinesGuard log;
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::listen(listener, 4);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    std::atomic<int> connections{0};
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        while (!stop) {
            pollfd p{listener, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            int fd = ::accept(listener, nullptr, nullptr);
            ++connections;
            uint8_t in[64];
            for (int message = 0; message < 2; ++message) {
                pollfd r{fd, POLLIN, 0};
                if (::poll(&r, 1, 2000) <= 0 || ::recv(fd, in, sizeof in, 0) < 10)
                    break;
                Message reply;
                reply.id = uint16_t((in[6] << 8 | in[7]) + 1);
                reply.sequence = uint16_t(in[4] << 8 | in[5]);
                uint8_t out[kSendCapacity];
                size_t n = EncodeMessage(reply, out);
                if (message == 1)
                    out[0] = 0x21; // the greeting's reply is broken
                ::send(fd, out, n, MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ::close(fd);
        }
    });
    {
        ClientHarness client(ntohs(a.sin_port));
        client.service->Start();
        EXPECT_TRUE(Eventually([&] { return connections >= 2; })) << "the client connects again";
        EXPECT_TRUE(log.Contains("读取网络消息失败：无效的消息头 21 6E"));
        EXPECT_EQ(client.service->GreetingState(), 1);
    }
    stop = true;
    peer.join();
    ::close(listener);
}

TEST(FaultUnreachable, NoServerMeansTimeoutNotAHang)
{
    LogLinesGuard log;
    uint16_t port = 0;
    {
        ServerHarness gone(true, true); // take a free port, then let it go
        port = gone.Port();
    }
    ClientHarness client(port);
    client.service->Start();
    CS_UserRecord& user = Keep(User("alice", "secret"));
    EXPECT_EQ(client.service->Login(&user, true), CS_ERR_TIMEOUT);
    EXPECT_FALSE(client.service->Connected());
    EXPECT_TRUE(Eventually([&] { return log.Contains("Who release the connected semaphore?"); }));
    EXPECT_EQ(client.service->Register(&user), -1) << "not greeted";
}

} // namespace

namespace {

// A TCP relay to the real server that replaces the first reply with a given
// id by ten bytes no header starts with, and passes everything else.
class BreakingStreamRelay {
public:
    BreakingStreamRelay(uint16_t serverPort, uint16_t replyId) : m_serverPort(serverPort), m_replyId(replyId)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listener, 8);
        socklen_t len = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~BreakingStreamRelay()
    {
        m_stop = true;
        m_thread.join();
        for (Pair& p : m_pairs) {
            ::close(p.client);
            ::close(p.server);
        }
        ::close(m_listener);
    }
    uint16_t Port() const { return m_port; }
    int Connections() const { return m_connections; }
    bool Broke() const { return m_broke; }

private:
    struct Pair {
        int client = -1, server = -1;
        std::vector<uint8_t> fromServer;
        bool open = true;
    };
    void Run()
    {
        while (!m_stop) {
            std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
            for (Pair& p : m_pairs) {
                fds.push_back({p.open ? p.client : -1, POLLIN, 0});
                fds.push_back({p.open ? p.server : -1, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0)
                continue;
            for (size_t i = 0; i < m_pairs.size(); ++i) {
                Pair& p = m_pairs[i];
                if (fds[1 + 2 * i].revents != 0 && !Pass(p.client, p.server))
                    p.open = false;
                if (fds[2 + 2 * i].revents != 0 && !FromServer(p))
                    p.open = false;
            }
            if (fds[0].revents & POLLIN)
                Accept();
        }
    }
    void Accept()
    {
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(m_serverPort);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a);
        m_pairs.push_back({client, server, {}, true});
        ++m_connections;
    }
    static bool Pass(int from, int to)
    {
        uint8_t buffer[kReceiveCapacity];
        ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
        return n > 0 && ::send(to, buffer, size_t(n), MSG_NOSIGNAL) == n;
    }
    bool FromServer(Pair& p)
    {
        uint8_t buffer[kReceiveCapacity];
        ssize_t n = ::recv(p.server, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        p.fromServer.insert(p.fromServer.end(), buffer, buffer + n);
        while (p.fromServer.size() >= kHeaderSize) {
            size_t total = AnnouncedMessageSize(p.fromServer.data());
            if (total == 0 || p.fromServer.size() < total)
                break;
            uint16_t id = uint16_t(p.fromServer[6] << 8 | p.fromServer[7]);
            if (id == m_replyId && !m_broke.exchange(true)) {
                const uint8_t garbage[kHeaderSize] = {'!', '!', '!', '!', '!', '!', '!', '!', '!', '!'};
                ::send(p.client, garbage, sizeof garbage, MSG_NOSIGNAL);
            } else {
                ::send(p.client, p.fromServer.data(), total, MSG_NOSIGNAL);
            }
            p.fromServer.erase(p.fromServer.begin(), p.fromServer.begin() + ptrdiff_t(total));
        }
        return true;
    }

    uint16_t m_serverPort, m_replyId, m_port = 0;
    int m_listener = -1;
    std::vector<Pair> m_pairs;
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_broke{false}, m_stop{false};
    std::thread m_thread;
};

} // namespace

TEST(FaultStream, OneBrokenFrameOnTcpIsRecoveredByConnectingAgain)
{
    ServerHarness server(false, true);
    server.AddUser("alice", "secret");
    BreakingStreamRelay relay(server.Port(), kSubmitQuestion + 1);
    ClientHarness client(relay.Port());
    ASSERT_TRUE(client.StartGreeted());
    CS_UserRecord user = User("alice", "secret");
    ASSERT_EQ(client.service->Login(&user, true), 0);
    EXPECT_EQ(client.service->SubmitQuestion(user.userId, "Is it there?"), 0)
        << "the broken reply costs a new connection, not the request";
    EXPECT_TRUE(relay.Broke());
    EXPECT_GE(relay.Connections(), 2);
    EXPECT_EQ(client.service->SubmitQuestion(user.userId, "And this one?"), 0) << "the login came along";
    server.Stop();
    EXPECT_EQ(server.db->QuestionStamp(), 2) << "the retried question was stored once";
}
