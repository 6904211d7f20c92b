// The server loop on loopback: per-peer rate limit and stream framing.
#include "Database.h"
#include "Dispatcher.h"
#include "Server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace melodrift;
using namespace melodrift::service;

namespace {

class ServerTest : public ::testing::Test {
protected:
    void Start(int rate)
    {
        db = std::make_unique<Database>(":memory:");
        dispatcher = std::make_unique<Dispatcher>(*db, Limits{});
        ServerOptions options;
        options.port = 0;
        options.ratePerSecond = rate;
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
    }
    int Connect(int type, const char* from = "127.0.0.1")
    {
        int fd = ::socket(AF_INET, type, 0);
        sockaddr_in me{};
        me.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &me.sin_addr);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me), 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(server->Port());
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        return fd;
    }
    static std::vector<uint8_t> Probe(uint16_t sequence)
    {
        tidelink::Message m;
        m.id = tidelink::kProbe;
        m.sequence = sequence;
        std::vector<uint8_t> out(tidelink::kSendCapacity);
        out.resize(tidelink::EncodeMessage(m, out.data()));
        return out;
    }
    static int CountReplies(int fd, int waitMs)
    {
        int replies = 0;
        uint8_t in[tidelink::kReceiveCapacity];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, waitMs) > 0) {
            ssize_t n = ::recv(fd, in, sizeof in, 0);
            if (n <= 0)
                break;
            replies += int(n) / 10; // probe replies are bare headers
        }
        return replies;
    }

    std::unique_ptr<Database> db;
    std::unique_ptr<Dispatcher> dispatcher;
    std::unique_ptr<Server> server;
    std::thread thread;
};

TEST_F(ServerTest, ASourceBeyondItsRateIsIgnored)
{
    Start(5);
    int fd = Connect(SOCK_DGRAM);
    for (uint16_t i = 0; i < 40; ++i) {
        auto probe = Probe(i);
        ::send(fd, probe.data(), probe.size(), 0);
    }
    int replies = CountReplies(fd, 200);
    EXPECT_GE(replies, 5);
    EXPECT_LE(replies, 7) << "a burst of 40 gets about the rate's worth of answers";
    int other = Connect(SOCK_DGRAM, "127.0.0.2");
    auto probe = Probe(1);
    ::send(other, probe.data(), probe.size(), 0);
    EXPECT_EQ(CountReplies(other, 200), 1) << "other source addresses are not held back";
    ::close(fd);
    ::close(other);
}

TEST_F(ServerTest, StreamMessagesMayArriveSplitOrTogether)
{
    Start(1000);
    int fd = Connect(SOCK_STREAM);
    auto a = Probe(1), b = Probe(2);
    std::vector<uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    ::send(fd, both.data(), 4, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ::send(fd, both.data() + 4, both.size() - 4, 0);
    EXPECT_EQ(CountReplies(fd, 200), 2);
    const uint8_t broken[] = {0x7E, 0x00, 0, 8, 0, 1, 0, 17, 0, 0};
    ::send(fd, broken, sizeof broken, 0);
    uint8_t in[16];
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_EQ(::recv(fd, in, sizeof in, 0), 0) << "a broken header ends the connection";
    ::close(fd);
}

} // namespace
