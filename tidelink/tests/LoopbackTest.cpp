// The client against the reference server on loopback, over UDP and TCP.
#include "Loopback.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace loopback;
using namespace melodrift::tidelink;

namespace {

enum class Transport { Udp, Tcp };

class LoopbackTest : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override
    {
        // A server without UDP leaves the client only TCP.
        server = std::make_unique<ServerHarness>(GetParam() == Transport::Udp, true);
        aliceId = server->AddUser("alice", "secret");
    }
    void TearDown() override
    {
        client.reset();
        server.reset();
    }
    ClientHarness& Client(uint16_t edition = 0)
    {
        client = std::make_unique<ClientHarness>(server->Port(), edition);
        return *client;
    }
    ClientHarness& Greeted(uint16_t edition = 0)
    {
        ClientHarness& c = Client(edition);
        EXPECT_TRUE(c.StartGreeted());
        EXPECT_EQ(c.service->UsesUdp(), GetParam() == Transport::Udp);
        return c;
    }

    PostBox posts;
    std::unique_ptr<ServerHarness> server;
    std::unique_ptr<ClientHarness> client;
    int32_t aliceId = 0;
};

TEST_P(LoopbackTest, GreetsOnThePreferredTransport)
{
    ClientHarness& c = Greeted();
    EXPECT_TRUE(c.service->Connected());
    EXPECT_EQ(c.service->LoginState(), 0);
}

TEST_P(LoopbackTest, SyncLoginFillsTheUserRecord)
{
    ClientHarness& c = Greeted();
    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(c.service->Login(&user, true), 0);
    EXPECT_EQ(c.service->LoginState(), 2);
    EXPECT_EQ(user.userId, aliceId);
    EXPECT_EQ(user.infoSize, 28);
    EXPECT_STREQ(user.nickname, "alice-nick");
    EXPECT_EQ(c.service->Login(&user, true), 0) << "a second login finds the user logged on";
}

TEST_P(LoopbackTest, BackgroundLoginPostsItsOutcome)
{
    ClientHarness& c = Greeted();
    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(c.service->Login(&user, false), 0);
    Posted p = posts.WaitFor([](const Posted& m) { return m.message == CS_UM_SERVICE_EVENT && (m.wParam >> 16) == 34; });
    ASSERT_EQ(p.message, unsigned(CS_UM_SERVICE_EVENT));
    EXPECT_EQ(p.window, &c.notifyWindow);
    EXPECT_EQ(p.wParam, 34 << 16);
    EXPECT_EQ(p.lParam, reinterpret_cast<intptr_t>(&user));
    EXPECT_EQ(user.userId, aliceId);
}

TEST_P(LoopbackTest, RefusedLoginsReturnTheServerCodeAndResetTheState)
{
    struct Case {
        const char* name;
        const char* password;
        int32_t code;
    };
    const Case cases[] = {{"alice", "wrong", CS_ERR_BAD_PASSWORD}, {"nobody", "secret", CS_ERR_UNKNOWN_USER}};
    ClientHarness& c = Greeted();
    for (const Case& k : cases) {
        CS_UserRecord& user = Keep(User(k.name, k.password));
        EXPECT_EQ(c.service->Login(&user, true), k.code) << k.name;
        EXPECT_EQ(c.service->LoginState(), 0) << k.name << ": a new login is needed";
        EXPECT_EQ(user.userId, 0);
    }
    CS_UserRecord& user = Keep(User("nobody", "x"));
    ASSERT_EQ(c.service->Login(&user, false), 0);
    Posted p = posts.WaitFor([](const Posted& m) { return m.wParam == (34 << 16 | CS_ERR_UNKNOWN_USER); });
    EXPECT_EQ(p.message, unsigned(CS_UM_SERVICE_EVENT)) << "a background refusal is posted";
}

TEST_P(LoopbackTest, RegisterLogsOnAndRefusesATakenName)
{
    ClientHarness& c = Greeted();
    CS_UserRecord& taken = Keep(User("alice", "other"));
    EXPECT_EQ(c.service->Register(&taken), CS_ERR_NAME_TAKEN);
    CS_UserRecord& fresh = Keep(User("bob", "pw"));
    ASSERT_EQ(c.service->Register(&fresh), 0);
    EXPECT_GT(fresh.userId, aliceId);
    EXPECT_EQ(fresh.accountFlags, 12);
    EXPECT_STREQ(fresh.nickname, "bob");
    EXPECT_EQ(c.service->LoginState(), 2);
    EXPECT_EQ(c.service->Register(&fresh), -1) << "registering while logged on sends nothing";
    auto stored = server->db->FindUser("bob");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->password.hash.find(PasswordDigest("pw")), std::string::npos)
        << "the server keeps a salted hash, not the digest";

    c.service->Logoff();
    EXPECT_EQ(c.service->LoginState(), 0);
    CS_UserRecord& again = Keep(User("bob", "pw"));
    EXPECT_EQ(c.service->Login(&again, true), 0) << "the new account logs in";
}

TEST_P(LoopbackTest, StylesSynchroniseIntoTheStoreAndDownloadOnRequest)
{
    server->Publish(5, "Swing", 2500);
    server->Publish(6, "Waltz", 300);
    server->Publish(7, "Rock", 10);
    server->db->SetRecommended({6});
    ClientHarness& c = Greeted();
    ASSERT_TRUE(Eventually([&] { return c.store.DetailCount() == 3 && !c.store.Data(6).empty(); }))
        << "details of every listed style and data of the recommended one";
    EXPECT_STREQ(c.store.Detail(5).name, "Swing");
    EXPECT_EQ(c.store.Detail(5).segmentCount[0], 1);
    EXPECT_EQ(c.store.Detail(5).voices[0][0][0], 9);
    EXPECT_EQ(c.store.stamp, server->db->StyleStamp()) << "the list stamp is stored once all details came";
    EXPECT_TRUE(c.store.Data(5).empty());

    // Queued twice: two completions, each with its own id.
    int window = 0;
    ASSERT_EQ(c.service->DownloadStyle(5, &window), 0);
    ASSERT_EQ(c.service->DownloadStyle(7, &window), 0);
    posts.WaitFor([&](const Posted& m) { return m.window == &window && m.lParam == 7; });
    auto done = posts.To(&window);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].wParam, 0x660000);
    EXPECT_EQ(done[0].lParam, 5);
    EXPECT_EQ(done[1].lParam, 7);
    std::vector<uint8_t> expected(2500);
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = uint8_t(i * 7 + 5);
    EXPECT_EQ(c.store.Data(5), expected) << "chunks are put together in order";

    // Synchronous download of a style the server does not have.
    EXPECT_EQ(c.service->DownloadStyle(99, nullptr), 32776);
    server->Publish(5, "Swing", 40); // a new revision
    EXPECT_EQ(c.service->DownloadStyle(5, nullptr), 0);
    EXPECT_EQ(c.store.Data(5).size(), 40u);
}

TEST_P(LoopbackTest, UploadsInChunksWithProgress)
{
    ClientHarness& c = Greeted();
    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(c.service->Login(&user, true), 0);
    std::string song = (c.dir / "song.mp3").string();
    {
        std::ofstream out(song, std::ios::binary);
        for (int i = 0; i < 3000; ++i)
            out.put(char(i % 251));
    }
    std::vector<uint8_t> info(CS_SONG_INFO_SIZE, 0x11);
    int window = 0;
    CS_UploadResult result{};
    ASSERT_EQ(c.service->UploadSong(user.userId, info.data(), song.c_str(), &window, &result), 0);
    auto progress = posts.To(&window);
    ASSERT_EQ(progress.size(), 5u);
    const intptr_t percents[] = {0, 25, 60, 95};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(progress[size_t(i)].message, unsigned(CS_UM_UPLOAD_PROGRESS));
        EXPECT_EQ(progress[size_t(i)].wParam, percents[i]);
    }
    EXPECT_EQ(progress[4].message, unsigned(CS_UM_UPLOAD_DONE));
    EXPECT_GT(result.songId, 0);
    EXPECT_EQ(std::string(result.firstPage), "http://127.0.0.1/song/" + std::to_string(result.songId));
    EXPECT_EQ(std::string(result.secondPage), "http://127.0.0.1/space/" + std::to_string(user.userId));
    EXPECT_EQ(server->db->SongCount(user.userId), 1);

    // The permission check (no block) now hits the limit.
    server->db->SetSongLimit(1);
    EXPECT_EQ(c.service->UploadSong(user.userId, nullptr, "", &window, nullptr), CS_ERR_LIMIT);
    EXPECT_EQ(c.service->UploadSong(0, info.data(), song.c_str(), &window, nullptr), CS_ERR_NO_USER);
    EXPECT_EQ(c.service->UploadSong(user.userId, info.data(), (c.dir / "missing").c_str(), &window, nullptr),
              CS_ERR_FILE);
}

TEST_P(LoopbackTest, UploadForAnotherUserIsRefused)
{
    ClientHarness& c = Greeted();
    int32_t other = server->AddUser("carol", "pw");
    EXPECT_EQ(c.service->UploadSong(other, nullptr, "", nullptr, nullptr), CS_ERR_NO_USER)
        << "the server only takes uploads of the account logged in on this connection";
}

TEST_P(LoopbackTest, NoticesArriveAndDeletionsFollow)
{
    int32_t general = server->db->AddNotice(0, 1, "Welcome", "Hello everyone");
    server->db->AddNotice(0, 0, "Second", "More news");
    server->db->AddNotice(aliceId, 0, "For alice", "Personal");
    ClientHarness& c = Greeted();
    Posted p = posts.WaitFor([](const Posted& m) { return m.wParam == 0x960000 && (m.lParam >> 16) == 0; });
    EXPECT_EQ(p.lParam, 2) << "two unread general notices";
    EXPECT_EQ(c.notices.UnreadCount(0), 2);

    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(c.service->Login(&user, false), 0);
    p = posts.WaitFor([&](const Posted& m) { return m.wParam == 0x960000 && (m.lParam >> 16) == aliceId; });
    EXPECT_EQ(p.lParam & 0xFFFF, 1) << "the personal notice follows the login";
    CS_TextRecord r{};
    EXPECT_EQ(c.notices.Get(aliceId, &r, 1), 1);
    EXPECT_STREQ(r.title, "For alice");

    // A notice withdrawn on the server disappears at the next sync.
    server->db->DeleteNotice(general);
    c.service->Logoff();
    ClientHarness again(server->Port());
    ASSERT_TRUE(again.StartGreeted());
    ASSERT_TRUE(Eventually([&] { return again.notices.Size() == 1; })) << again.notices.Size();
}

TEST_P(LoopbackTest, QuestionsGoUpAndAnswersComeBack)
{
    server->db->AnswerQuestion(server->db->AddQuestion(0, "How do I sing?"), "Loudly", true);
    ClientHarness& c = Greeted();
    ASSERT_TRUE(Eventually([&] { return c.questions.PublicSize() == 1; }));
    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(c.service->Login(&user, true), 0);
    ASSERT_EQ(c.service->SubmitQuestion(user.userId, "Where is my song?"), 0);
    CS_TextRecord r[2]{};
    auto listing = c.questions.Get(true, user.userId, r, 2);
    ASSERT_EQ(listing.matched, 1);
    EXPECT_STREQ(r[0].title, "Where is my song?");
    EXPECT_TRUE(listing.unanswered);

    int32_t reached = 0;
    auto rows = server->db->QuestionsFor(user.userId, 0, {}, 100, reached);
    ASSERT_FALSE(rows.empty());
    int32_t id = rows.back().id;
    server->db->AnswerQuestion(id, "In your space", false);
    c.service->WantAnswers();
    ASSERT_TRUE(Eventually([&] {
        CS_TextRecord x[2]{};
        c.questions.Get(true, user.userId, x, 2);
        return std::string(x[0].text) == "In your space";
    }));
}

TEST_P(LoopbackTest, CancelEndsAWaitingLogin)
{
    server->Stop(); // nobody answers: the login stays pending
    ClientHarness& c = Client();
    c.service->Start();
    CS_UserRecord& user = Keep(User("alice", "secret"));
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        c.service->Cancel();
    });
    EXPECT_EQ(c.service->Login(&user, true), CS_ERR_CANCELLED);
    canceller.join();
}

TEST_P(LoopbackTest, DemandedUpdateStopsTheService)
{
    melodrift::service::Versions v;
    v.current[0] = 2;
    v.minimum[0] = 2;
    v.text = "get 2.0";
    server->db->SetVersions(v);
    ClientHarness& c = Client();
    c.service->Start();
    Posted p = posts.WaitFor([](const Posted& m) { return (m.wParam >> 16) == 2; });
    EXPECT_EQ(p.wParam, 0x20003);
    EXPECT_EQ(p.lParam, reinterpret_cast<intptr_t>(&c.version));
    EXPECT_EQ(c.version.major, 2) << "the server's version is written into the record";
    EXPECT_STREQ(c.version.serverText, "get 2.0");
    ASSERT_TRUE(Eventually([&] { return c.service->Stopping(); }));
    CS_UserRecord& user = Keep(User("alice", "secret"));
    EXPECT_EQ(c.service->Login(&user, true), CS_ERR_NO_SERVICE);
}

TEST_P(LoopbackTest, NewerVersionIsOnlyAnnounced)
{
    melodrift::service::Versions v;
    v.current[0] = 1;
    v.current[1] = 5;
    server->db->SetVersions(v);
    ClientHarness& c = Greeted();
    Posted p = posts.WaitFor([](const Posted& m) { return (m.wParam >> 16) == 2; });
    EXPECT_EQ(p.wParam, 0x20002);
    EXPECT_FALSE(c.service->Stopping());
}

TEST_P(LoopbackTest, PersonalNoticesAreFetchedAgainAfterTheirInterval)
{
    client = std::make_unique<ClientHarness>(server->Port(), 0, [](Timing& t) { t.personalNoticeMs = 300; });
    ASSERT_TRUE(client->StartGreeted());
    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(client->service->Login(&user, true), 0);
    Posted first = posts.WaitFor([&](const Posted& m) { return m.wParam == 0x960000 && (m.lParam >> 16) == aliceId; });
    ASSERT_EQ(first.message, unsigned(CS_UM_SERVICE_EVENT)) << "personal notices follow a waiting login too";
    EXPECT_EQ(client->notices.UnreadCount(aliceId), 0);
    server->db->AddNotice(aliceId, 0, "Later", "arrives by itself");
    EXPECT_TRUE(Eventually([&] { return client->notices.UnreadCount(aliceId) == 1; }))
        << "no call of the caller is needed";
}

TEST_P(LoopbackTest, DownloadRefusedByTheStoreIsReportedAsAFailure)
{
    server->Publish(4, "Bossa", 100);
    ClientHarness& c = Greeted();
    c.store.refuseData = true;
    int window = 0;
    ASSERT_EQ(c.service->DownloadStyle(4, &window), 0);
    Posted p = posts.WaitFor([&](const Posted& m) { return m.window == &window; });
    EXPECT_EQ(p.wParam, 0x660000 | CS_ERR_FILE);
    EXPECT_EQ(p.lParam, 4);
    EXPECT_EQ(c.service->DownloadStyle(4, nullptr), CS_ERR_FILE);
}

TEST_P(LoopbackTest, AccountEditionReportsEveryStyleToTheNotifyWindow)
{
    server->Publish(21, "One", 50);
    server->Publish(22, "Two", 60);
    ClientHarness& c = Greeted(4);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(c.store.listCalls, 0) << "no style list without a logged-on user";
    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(c.service->Login(&user, false), 0);
    Posted list = posts.WaitFor([](const Posted& m) { return (m.wParam >> 16) == 98; });
    EXPECT_EQ(list.wParam, 98 << 16);
    EXPECT_EQ(list.lParam, 2);
    for (int id : {21, 22}) {
        Posted detail = posts.WaitFor([id](const Posted& m) { return m.wParam == 0x640000 && m.lParam == id; });
        EXPECT_EQ(detail.window, &c.notifyWindow) << id;
    }
    int window = 0;
    ASSERT_EQ(c.service->DownloadStyle(22, &window), 0);
    Posted done = posts.WaitFor([](const Posted& m) { return m.wParam == 0x660000; });
    EXPECT_EQ(done.window, &c.notifyWindow) << "this edition reports downloads to the notify window";
    EXPECT_EQ(done.lParam, 22);
    EXPECT_TRUE(posts.To(&window).empty());
}

INSTANTIATE_TEST_SUITE_P(Transports, LoopbackTest, ::testing::Values(Transport::Udp, Transport::Tcp),
                         [](const auto& param) { return param.param == Transport::Udp ? "Udp" : "Tcp"; });

} // namespace
