// A scripted server that answers with replies no honest server sends: the
// client must neither crash nor write past its records nor store garbage.
#include "Loopback.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace loopback;
using namespace melodrift::tidelink;

namespace {

using Script = std::function<std::optional<Message>(const Message&)>;

class ScriptedServer {
public:
    explicit ScriptedServer(Script script) : m_script(std::move(script))
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~ScriptedServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    uint16_t Port() const { return m_port; }

private:
    void Run()
    {
        uint8_t in[kReceiveCapacity];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n = ::recvfrom(m_fd, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &len);
            Message request;
            if (n <= 0 || DecodeMessage(in, size_t(n), request) != DecodeStatus::Ok)
                continue;
            std::optional<Message> reply;
            if (request.id == kProbe || request.id == kGreeting)
                reply = Message{};
            else
                reply = m_script(request);
            if (!reply)
                continue;
            reply->id = uint16_t(request.id + 1);
            reply->sequence = request.id == kProbe ? 0 : request.sequence;
            uint8_t out[kSendCapacity];
            ::sendto(m_fd, out, EncodeMessage(*reply, out), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }

    Script m_script;
    int m_fd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

Message Body(std::initializer_list<int32_t> ints, size_t padTo = 0, uint16_t code = 0)
{
    Message m;
    m.code = code;
    BodyWriter w(m);
    for (int32_t v : ints)
        w.Int32(v);
    if (padTo > m.bodyLength)
        w.Zeros(padTo - m.bodyLength);
    return m;
}

struct GuardedUser {
    CS_UserRecord user;
    uint8_t guard[64];
};

TEST(HostileServer, HugeInfoBlockStaysInsideTheUserRecord)
{
    ScriptedServer server([](const Message& q) -> std::optional<Message> {
        if (q.id == kLogin) {
            Message m = Body({8000, 55}, 8100);
            std::memset(m.body.data() + 8, 0x5A, 8000 - 8);
            return m;
        }
        return Body({0, 0, 0, 0}, 16);
    });
    static GuardedUser record;
    record.user = User("alice", "secret");
    std::memset(record.guard, 0xAB, sizeof record.guard);
    ClientHarness client(server.Port(), 3);
    ASSERT_TRUE(client.StartGreeted());
    ASSERT_EQ(client.service->Login(&record.user, true), 0);
    EXPECT_EQ(record.user.userId, 55);
    for (uint8_t b : record.guard)
        ASSERT_EQ(b, 0xAB) << "nothing is written past the record";
    EXPECT_EQ(record.user.infoRest[sizeof record.user.infoRest - 1], 0x5A);
}

TEST(HostileServer, InfoBlockShorterThanItsOwnHeaderIsRefused)
{
    ScriptedServer server([](const Message& q) -> std::optional<Message> {
        if (q.id == kLogin)
            return Body({4000, 9}); // claims more than it carries
        return Body({0, 0, 0, 0}, 16);
    });
    ClientHarness client(server.Port(), 3);
    ASSERT_TRUE(client.StartGreeted());
    CS_UserRecord& user = Keep(User("alice", "secret"));
    EXPECT_EQ(client.service->Login(&user, true), CS_ERR_SERVER);
    EXPECT_EQ(user.userId, 0);
    EXPECT_EQ(client.service->LoginState(), 0);
}

TEST(HostileServer, BrokenStyleRepliesStoreNothing)
{
    struct Case {
        const char* name;
        Script script;
    };
    std::vector<Case> cases = {
        {"chunk longer than announced",
         [](const Message& q) -> std::optional<Message> {
             if (q.id == kStyleList)
                 return Body({3, 9, 77, 48});
             if (q.id == kFetchChunk)
                 return Body({77, q.Int(1), 100}, 112);
             return Body({0, 0, 0, 0}, 16);
         }},
        {"chunk for another transfer",
         [](const Message& q) -> std::optional<Message> {
             if (q.id == kStyleList)
                 return Body({3, 9, 77, 48});
             if (q.id == kFetchChunk)
                 return Body({78, q.Int(1), 16}, 28);
             return Body({0, 0, 0, 0}, 16);
         }},
        {"chunk count beyond its reply",
         [](const Message& q) -> std::optional<Message> {
             if (q.id == kStyleList)
                 return Body({3, 9, 77, 48});
             if (q.id == kFetchChunk)
                 return Body({77, q.Int(1), 48}, 20);
             return Body({0, 0, 0, 0}, 16);
         }},
        {"list shorter than its count",
         [](const Message& q) -> std::optional<Message> {
             if (q.id == kStyleList)
                 return Body({3, 9, 77, 16});
             if (q.id == kFetchChunk)
                 return q.Int(1) == -1 ? Body({77, -1, 0}) : Body({77, 0, 16, 5, 1, 0, 0});
             return Body({0, 0, 0, 0}, 16);
         }},
        {"empty chunk forever",
         [](const Message& q) -> std::optional<Message> {
             if (q.id == kStyleList)
                 return Body({3, 9, 77, 48});
             if (q.id == kFetchChunk)
                 return Body({77, q.Int(1), 0});
             return Body({0, 0, 0, 0}, 16);
         }},
    };
    for (Case& c : cases) {
        ScriptedServer server(c.script);
        ClientHarness client(server.Port(), 0);
        ASSERT_TRUE(client.StartGreeted()) << c.name;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(client.store.listCalls, 0) << c.name;
        EXPECT_FALSE(client.service->Stopping()) << c.name;
    }
}

TEST(HostileServer, DetailLongerThanItsReplyStaysQueued)
{
    std::atomic<int> detailAsks{0};
    ScriptedServer server([&](const Message& q) -> std::optional<Message> {
        if (q.id == kStyleList)
            return Body({1, 9, 77, 16});
        if (q.id == kFetchChunk)
            return q.Int(1) == -1 ? Body({77, -1, 0}) : Body({77, 0, 16, 5, 1, 0, 0});
        if (q.id == kStyleDetail) {
            ++detailAsks;
            return Body({5, 1, 5000}, 40); // announces more detail than it carries
        }
        return Body({0, 0, 0, 0}, 16);
    });
    LogLinesGuard log;
    ClientHarness client(server.Port(), 0);
    ASSERT_TRUE(client.StartGreeted());
    ASSERT_TRUE(Eventually([&] { return detailAsks >= 2; })) << "the broken detail stays queued";
    EXPECT_EQ(client.store.DetailCount(), 0u);
    EXPECT_TRUE(log.Contains("Style detail data error!"));
}

TEST(HostileServer, RecommendationCountBeyondItsReplyIsIgnored)
{
    std::atomic<int> recommendedAsks{0}, dataAsks{0};
    ScriptedServer server([&](const Message& q) -> std::optional<Message> {
        if (q.id == kStyleList)
            return Body({0, 9, 0, 0}); // nothing listed: the recommendations come next
        if (q.id == kRecommended) {
            ++recommendedAsks;
            return Body({100000, 5});
        }
        if (q.id == kStyleData)
            ++dataAsks;
        return Body({0, 0, 0, 0}, 16);
    });
    ClientHarness client(server.Port(), 0);
    ASSERT_TRUE(client.StartGreeted());
    ASSERT_TRUE(Eventually([&] { return recommendedAsks >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(dataAsks, 0) << "no download is queued from ids the reply does not hold";
}

TEST(HostileServer, TransfersAnnouncedEmptyDoNotSpin)
{
    PostBox posts;
    std::atomic<int> listAsks{0}, fetches{0};
    std::mutex lock;
    std::vector<std::chrono::steady_clock::time_point> asked;
    ScriptedServer server([&](const Message& q) -> std::optional<Message> {
        if (q.id == kStyleList) { // two styles in a list of no bytes, twice; then nothing listed
            std::lock_guard guard(lock);
            asked.push_back(std::chrono::steady_clock::now());
            return ++listAsks <= 2 ? Body({2, 9, 77, 0}) : Body({0, 9, 0, 0});
        }
        if (q.id == kStyleData)
            return Body({77, 0}); // data of no bytes
        if (q.id == kFetchChunk)
            ++fetches;
        return Body({0, 0, 0, 0}, 16);
    });
    ClientHarness client(server.Port(), 0);
    ASSERT_TRUE(client.StartGreeted());
    EXPECT_EQ(client.service->DownloadStyle(5, nullptr), -1) << "an empty transfer fails at once";
    int window = 0;
    ASSERT_EQ(client.service->DownloadStyle(6, &window), 0);
    ASSERT_TRUE(Eventually([&] { return listAsks >= 3; }));
    {
        std::lock_guard guard(lock);
        // The caller's request wakes the service once; after that a refused
        // list waits for the next pass (500 ms here) instead of looping.
        EXPECT_GE(asked[2] - asked[1], std::chrono::milliseconds(400));
    }
    Posted failed = posts.WaitFor([&](const Posted& m) { return m.window == &window; });
    EXPECT_EQ(failed.wParam, 0x660000 | CS_ERR_CHUNK_MISMATCH) << "the queued download ends as a failure";
    EXPECT_EQ(failed.lParam, 6);
    EXPECT_EQ(fetches, 0) << "nothing is fetched for an announced size of 0";
    EXPECT_TRUE(client.service->Connected());
}

TEST(HostileServer, AnnouncedSizesBeyondTheirPurposeAreRefusedUnfetched)
{
    std::atomic<int> fetches{0};
    std::atomic<int32_t> announced{0};
    ScriptedServer server([&](const Message& q) -> std::optional<Message> {
        if (q.id == kStyleData)
            return Body({77, announced.load()});
        if (q.id == kFetchChunk) {
            ++fetches;
            return Body({q.Int(0), q.Int(1), 0});
        }
        return Body({0, 0, 0, 0}, 16);
    });
    ClientHarness client(server.Port(), 0);
    ASSERT_TRUE(client.StartGreeted());
    for (int32_t size : {int32_t(kMaxStyleDataBytes) + 1, int32_t(1) << 30, INT32_MAX}) {
        announced = size;
        EXPECT_EQ(client.service->DownloadStyle(5, nullptr), CS_ERR_CHUNK_MISMATCH) << size;
    }
    EXPECT_EQ(fetches, 0) << "no chunk is asked for, nothing is reserved";
}

} // namespace
