// The C entry points as the program calls them, with the real style store
// and the reference server on loopback.
#include "Loopback.h"
#include "MelodriftPlatform.h"
#include "Tidelink.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <zlib.h>

using namespace loopback;

namespace {

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<ServerHarness>(true, true);
        aliceId = server->AddUser("alice", "secret");
        home = FreshDir("home");
        ::setenv("MELODRIFT_HOME", home.c_str(), 1);
        ::setenv("MELODRIFT_SERVICE", ("127.0.0.1:" + std::to_string(server->Port())).c_str(), 1);
        ::setenv("MELODRIFT_TIDELINK_TIME_SCALE", "5", 1);
        version.size = sizeof version;
        version.major = 1;
        version.modify = 2;
        version.build = 3;
    }
    void TearDown() override
    {
        CS_DestroyService();
        server.reset();
        std::filesystem::remove_all(home);
    }
    int32_t Init(uint16_t edition)
    {
        version.minor = edition;
        return CS_InitialService(&window, &version, webAddress, home.c_str());
    }

    PostBox posts;
    std::unique_ptr<ServerHarness> server;
    std::filesystem::path home;
    CS_VersionRecord version{};
    char webAddress[CS_WEB_ADDRESS_CAPACITY] = "";
    int window = 0;
    int32_t aliceId = 0;
};

TEST_F(ApiTest, WithoutAServiceOperationsSayNoService)
{
    CS_UserRecord& user = Keep(User("alice", "secret"));
    EXPECT_EQ(CS_Login(&user, 1), CS_ERR_NO_SERVICE);
    EXPECT_EQ(CS_Register(&user), CS_ERR_NO_SERVICE);
    EXPECT_EQ(CS_DownloadStyle(1, nullptr), CS_ERR_NO_SERVICE);
    EXPECT_EQ(CS_SubmitQnA(1, "q"), CS_ERR_NO_SERVICE);
    EXPECT_EQ(CS_UploadSong(0, nullptr, "", nullptr, nullptr), CS_ERR_NO_USER);
    EXPECT_EQ(CS_UploadSong(1, nullptr, "", nullptr, nullptr), CS_ERR_NO_SERVICE);
    char url[CS_WEB_URL_CAPACITY] = "";
    EXPECT_EQ(CS_GetWebPageURL(0, url), 1);
    EXPECT_STREQ(url, "http://127.0.0.1") << "MELODRIFT_SERVICE counts before the service starts";
    EXPECT_EQ(CS_CancelOperation(), 0);
    EXPECT_EQ(CS_Logoff(), 0);
}

TEST_F(ApiTest, LoginAndWebPagesThroughTheEntryPoints)
{
    ASSERT_EQ(Init(3), 0) << "edition 3 runs without the style store";
    EXPECT_STREQ(webAddress, "http://127.0.0.1");
    int32_t online = -1, local = -1;
    EXPECT_EQ(CS_GetStyleNums(&online, &local), 0);
    EXPECT_EQ(online, 0);
    EXPECT_EQ(local, 0);

    char url[CS_WEB_URL_CAPACITY] = "untouched";
    EXPECT_EQ(CS_GetWebPageURL(1, url), 0);
    EXPECT_STREQ(url, "untouched") << "no account page while logged off";
    EXPECT_EQ(CS_GetWebPageURL(3, url), 0);
    EXPECT_STREQ(url, "untouched") << "edition 3 has no software page";

    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(CS_Login(&user, 1), 0);
    EXPECT_EQ(user.userId, aliceId);
    ASSERT_EQ(CS_GetWebPageURL(4, url), 0);
    EXPECT_EQ(std::string(url), "http://127.0.0.1/index.php/Login/checkLoginUser?username=alice&password=" +
                                    melodrift::tidelink::PasswordDigest("secret") + "&action=3");
    ASSERT_EQ(CS_GetWebPageURL(6, url), 0);
    EXPECT_STREQ(url, "http://127.0.0.1/index.php/Music/index/tpl/play_share/i/");
    EXPECT_EQ(CS_GetWebPageURL(99, url), 0);
    EXPECT_STREQ(url, "http://127.0.0.1/index.php/Music/index/tpl/play_share/i/");
}

TEST_F(ApiTest, NoticesAndQuestionsThroughTheEntryPoints)
{
    server->db->AddNotice(0, 0, "One", "first");
    server->db->AddNotice(0, 0, "Two", "second");
    ASSERT_EQ(Init(0), 0);
    ASSERT_TRUE(Eventually([] { return CS_GetNewNoticeNum(0) == 2; }));
    int32_t count = 0;
    ASSERT_EQ(CS_GetNotice(&count, nullptr, 0), 0);
    EXPECT_EQ(count, 2) << "a count of 0 fills nothing and tells how many there are";
    EXPECT_EQ(CS_GetNewNoticeNum(0), 2);
    CS_TextRecord records[2]{};
    count = 2;
    ASSERT_EQ(CS_GetNotice(&count, records, 0), 0);
    EXPECT_STREQ(records[1].title, "Two");
    EXPECT_EQ(CS_GetNewNoticeNum(0), 0);

    CS_UserRecord& user = Keep(User("alice", "secret"));
    ASSERT_EQ(CS_Login(&user, 1), 0);
    ASSERT_EQ(CS_SubmitQnA(user.userId, "Is there a manual?"), 0);
    count = 2;
    ASSERT_EQ(CS_GetQnA(&count, records, 1, user.userId), 0);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(records[0].title, "Is there a manual?");

    CS_DestroyService();
    EXPECT_TRUE(std::filesystem::exists(home / "Help" / "notice.ntc"));
    EXPECT_TRUE(std::filesystem::exists(home / "Help" / "local.qna"));
    count = 2;
    ASSERT_EQ(CS_GetQnA(&count, records, 1, user.userId), 0);
    EXPECT_EQ(count, 1) << "the lists outlive the service";
}

// Style data as the store accepts it: a zlib stream of a small "KRV" block.
std::vector<uint8_t> KrvStream(uint8_t fill)
{
    std::vector<uint8_t> block = {'K', 'R', 'V', 0, 0, 0, 0, 8, fill, fill, fill, fill, fill, fill, fill, fill};
    uLongf size = compressBound(uLong(block.size()));
    std::vector<uint8_t> stream(size);
    compress(stream.data(), &size, block.data(), uLong(block.size()));
    stream.resize(size);
    return stream;
}

int32_t ShippedStyleCount()
{
    int32_t count = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(MDP_LibraryDir()) + "/styles", ec))
        count += entry.path().extension() == ".mds" ? 1 : 0;
    return count;
}

TEST_F(ApiTest, StylesReachTheRealStyleStore)
{
    auto info = StyleInfo(901, "Served");
    server->db->PublishStyle(901, *melodrift::service::EncodeDetail(info.data()), KrvStream(1));
    info = StyleInfo(902, "Asked");
    server->db->PublishStyle(902, *melodrift::service::EncodeDetail(info.data()), KrvStream(2));
    server->db->SetRecommended({901});
    int32_t online = 0, local = 0;
    // The styles shipped beside the libraries count as local from the start.
    const int32_t localBefore = ShippedStyleCount();
    ASSERT_EQ(Init(0), 0);
    ASSERT_TRUE(Eventually([&] {
        CS_GetStyleNums(&online, &local);
        return online >= 2 && local == localBefore + 1;
    })) << "online " << online << ", local " << local;
    EXPECT_EQ(CS_DownloadStyle(902, nullptr), 0);
    CS_GetStyleNums(&online, &local);
    EXPECT_EQ(local, localBefore + 2);
    EXPECT_EQ(CS_DownloadStyle(903, nullptr), 32776) << "a style the server does not have";
}

TEST_F(ApiTest, CancelDuringASynchronousLogin)
{
    server->Stop();
    ASSERT_EQ(Init(3), 0);
    CS_UserRecord& user = Keep(User("alice", "secret"));
    std::thread canceller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        CS_CancelOperation();
    });
    EXPECT_EQ(CS_Login(&user, 1), CS_ERR_CANCELLED);
    canceller.join();
}

TEST_F(ApiTest, DestroyWaitsForACallStillRunning)
{
    server->Stop();
    ASSERT_EQ(Init(3), 0);
    CS_UserRecord& user = Keep(User("alice", "secret"));
    std::atomic<int32_t> result{-100};
    std::thread caller([&] { result = CS_Login(&user, 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the login waits for the server
    EXPECT_EQ(CS_DestroyService(), 0);
    EXPECT_NE(result.load(), -100) << "destroy returned while the login still ran";
    caller.join();
    EXPECT_TRUE(result == CS_ERR_NO_SERVICE || result == CS_ERR_CANCELLED) << result;
    EXPECT_EQ(CS_Login(&user, 1), CS_ERR_NO_SERVICE);
}

} // namespace
