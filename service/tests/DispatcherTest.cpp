// The server's answers to well-formed and hostile requests, without sockets.
#include "Database.h"
#include "Digest.h"
#include "Dispatcher.h"
#include "StyleLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <zlib.h>
#include <unistd.h>

using namespace melodrift;
using namespace melodrift::service;
using tidelink::BodyWriter;

namespace {

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("melodrift-service-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        db = std::make_unique<Database>((dir / "s.db").string());
        Limits limits;
        limits.hashIterations = 1000;
        limits.maxTransfersPerSource = 2;
        dispatcher = std::make_unique<Dispatcher>(*db, limits);
        userId = *db->AddUser("alice", "Al", HashDigest(tidelink::PasswordDigest("secret"), 1000));
    }
    void TearDown() override
    {
        dispatcher.reset();
        db.reset();
        std::filesystem::remove_all(dir);
    }

    Message Ask(const std::string& peer, uint16_t id, const std::vector<int32_t>& ints,
                const std::vector<uint8_t>& tail = {})
    {
        Message q, a;
        q.id = id;
        q.sequence = 77;
        BodyWriter w(q);
        for (int32_t v : ints)
            w.Int32(v);
        w.Bytes(tail.data(), tail.size());
        EXPECT_EQ(dispatcher->Handle(peer, q, a), Dispatcher::Outcome::Reply);
        EXPECT_EQ(a.id, id + 1);
        EXPECT_EQ(a.sequence, 77);
        return a;
    }
    Message Login(const std::string& peer, const std::string& name, const std::string& password)
    {
        std::vector<uint8_t> body(112, 0);
        std::memcpy(body.data(), name.data(), name.size());
        std::string digest = tidelink::PasswordDigest(password);
        std::memcpy(body.data() + 32, digest.data(), digest.size());
        return Ask(peer, tidelink::kLogin, {}, body);
    }

    std::filesystem::path dir;
    std::unique_ptr<Database> db;
    std::unique_ptr<Dispatcher> dispatcher;
    int32_t userId = 0;
};

TEST_F(DispatcherTest, LoginCodesAndInfoBlock)
{
    EXPECT_EQ(Login("p", "alice", "wrong").code, 32773);
    EXPECT_EQ(Login("p", "bob", "secret").code, 32774);
    Message ok = Login("p", "alice", "secret");
    ASSERT_EQ(ok.code, 0);
    EXPECT_EQ(ok.Int(0), 28);
    EXPECT_EQ(ok.Int(1), userId);
    EXPECT_STREQ(reinterpret_cast<const char*>(ok.body.data() + 28), "Al");
    std::vector<uint8_t> notHex(112, 0);
    std::memcpy(notHex.data(), "alice", 5);
    std::memset(notHex.data() + 32, 'Z', 64);
    EXPECT_EQ(Ask("p", tidelink::kLogin, {}, notHex).code, 32773) << "a digest that is not hex never logs in";
}

TEST_F(DispatcherTest, RequestsThatAreNotInTheCatalogueAreDropped)
{
    Message q, a;
    for (uint16_t id : {uint16_t(2), uint16_t(3), uint16_t(150), uint16_t(0)}) {
        q.id = id;
        EXPECT_EQ(dispatcher->Handle("p", q, a), Dispatcher::Outcome::Drop) << id;
    }
}

TEST_F(DispatcherTest, UploadsBelongToTheirAccountAndFollowTheChunkOrder)
{
    EXPECT_EQ(Ask("p", tidelink::kUploadStart, {0, userId, 3000}).code, 32775) << "not logged in";
    ASSERT_EQ(Login("p", "alice", "secret").code, 0);
    EXPECT_EQ(Ask("q", tidelink::kUploadStart, {0, userId, 3000}).code, 32775) << "logged in elsewhere";
    EXPECT_EQ(Ask("p", tidelink::kUploadStart, {0, userId, 100}).code, 32787) << "smaller than the block";
    Message start = Ask("p", tidelink::kUploadStart, {0, userId, 1008 + 1500});
    ASSERT_EQ(start.code, 0);
    int32_t handle = start.Int(0);
    std::vector<uint8_t> block(1008, 1), piece(1400, 2);
    EXPECT_EQ(Ask("q", tidelink::kUploadChunk, {handle, 0, 1008}, block).code, 32781) << "another peer";
    EXPECT_EQ(Ask("p", tidelink::kUploadChunk, {handle, 0, 1008}, block).code, 0);
    EXPECT_EQ(Ask("p", tidelink::kUploadChunk, {handle, 1, 1400}, piece).code, 0);
    EXPECT_EQ(Ask("p", tidelink::kUploadChunk, {handle, 2, 1400}, piece).code, 32781)
        << "more than the announced total";
    EXPECT_EQ(Ask("p", tidelink::kUploadChunk, {handle, 2, 100}, piece).code, 32781) << "the upload was dropped";
    EXPECT_EQ(db->SongCount(userId), 0);

    handle = Ask("p", tidelink::kUploadStart, {0, userId, 1008 + 10}).Int(0);
    Ask("p", tidelink::kUploadChunk, {handle, 0, 1008}, block);
    Message done = Ask("p", tidelink::kUploadChunk, {handle, 1, 10}, piece);
    EXPECT_EQ(done.code, 5);
    EXPECT_EQ(db->SongCount(userId), 1);
    db->SetSongLimit(1);
    EXPECT_EQ(Ask("p", tidelink::kUploadStart, {0, userId, 0}).code, 32784);
}

TEST_F(DispatcherTest, TransfersAreBoundedAndPrivate)
{
    db->PublishStyle(3, {1, 2, 3}, std::vector<uint8_t>(10000, 9));
    Message a = Ask("p", tidelink::kStyleData, {0, 3});
    ASSERT_EQ(a.code, 0);
    int32_t handle = a.Int(0);
    EXPECT_EQ(a.Int(1), 10000);
    EXPECT_EQ(Ask("q", tidelink::kFetchChunk, {handle, 0}).code, 32781) << "another peer's transfer";
    Message chunk = Ask("p", tidelink::kFetchChunk, {handle, 2});
    ASSERT_EQ(chunk.code, 0);
    EXPECT_EQ(chunk.Int(2), 10000 - 2 * 4096) << "the last chunk holds the rest";
    EXPECT_EQ(Ask("p", tidelink::kFetchChunk, {handle, 3}).code, 32781) << "beyond the end";
    EXPECT_EQ(Ask("p", tidelink::kFetchChunk, {handle, -7}).code, 32781);
    int32_t second = Ask("p", tidelink::kStyleData, {0, 3}).Int(0);
    int32_t third = Ask("p", tidelink::kStyleData, {0, 3}).Int(0);
    ASSERT_NE(third, 0) << "a transfer nobody fetched makes room for a new one";
    EXPECT_EQ(Ask("p", tidelink::kFetchChunk, {second, 0}).code, 32781) << "the unfetched one went";
    EXPECT_EQ(Ask("p", tidelink::kFetchChunk, {third, 0}).code, 0);
    EXPECT_EQ(Ask("p", tidelink::kStyleData, {0, 3}).code, 32781) << "two transfers in use are the most";
    Ask("p", tidelink::kFetchChunk, {handle, -1});
    EXPECT_EQ(Ask("p", tidelink::kStyleData, {0, 3}).code, 0) << "closing one frees a place";
    EXPECT_EQ(Ask("p", tidelink::kStyleData, {0, 4}).code, 32776);
}

TEST_F(DispatcherTest, PersonalNoticesAndQuestionsNeedTheirOwner)
{
    db->AddNotice(userId, 0, "private", "text");
    EXPECT_EQ(Ask("p", tidelink::kNoticeSync, {userId, 0}).code, 32775);
    ASSERT_EQ(Login("p", "alice", "secret").code, 0);
    Message own = Ask("p", tidelink::kNoticeSync, {userId, 0});
    EXPECT_EQ(own.code, 0);
    EXPECT_GT(own.Int(1), 0);
    EXPECT_EQ(Ask("p", tidelink::kSubmitQuestion, {0x10000, 0, userId + 1}, {'q', 0}).code, 32775);
    EXPECT_EQ(Ask("p", tidelink::kSubmitQuestion, {0x10000, 0, userId}, {0}).code, 32771) << "empty question";
    Message submitted = Ask("p", tidelink::kSubmitQuestion, {0x10000, 0, userId}, {'h', 'i', 0});
    ASSERT_EQ(submitted.code, 0);
    Message other = Ask("q", tidelink::kQuestionSync, {0, 0, userId, 0});
    EXPECT_EQ(other.Int(2), 0) << "another peer claiming the user id gets nothing of theirs";
    Message mine = Ask("p", tidelink::kQuestionSync, {0, 0, userId, 0});
    EXPECT_GT(mine.Int(2), 0);
}

TEST_F(DispatcherTest, FreshServiceAsksNoClientToUpdate)
{
    EXPECT_EQ(Ask("p", tidelink::kGreeting, {1, 0}).code, 0) << "version 0.1 told to update";
}

TEST_F(DispatcherTest, GreetingComparesVersions)
{
    Versions v;
    v.current[0] = 1;
    v.current[2] = 5;
    v.minimum[0] = 1;
    v.minimum[2] = 2;
    db->SetVersions(v);
    EXPECT_EQ(Ask("p", tidelink::kGreeting, {1 << 16, 5 << 16}).code, 0);
    EXPECT_EQ(Ask("p", tidelink::kGreeting, {1 << 16, 3 << 16}).code, 2);
    EXPECT_EQ(Ask("p", tidelink::kGreeting, {1 << 16, 1 << 16}).code, 3);
}

TEST(StyleLibrary, StyleFilesAreCheckedBeforePublishing)
{
    std::vector<uint8_t> info(1800, 0);
    tidelink::PutInt32(info.data(), 12);
    std::memset(&info[264], 0xFF, 1800 - 264);
    std::vector<uint8_t> data = {0x78, 0x9c, 1, 2, 3};
    std::vector<uint8_t> file = {'M', 'D', 'S', 'F', 1, 0, 0, 0, 0x08, 0x07, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0};
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), data.begin(), data.end());
    uint32_t crc = uint32_t(::crc32(0L, file.data() + 20, uInt(1805)));
    tidelink::PutInt32(file.data() + 16, int32_t(crc));
    std::string why;
    auto style = ReadStyleFile(file, &why);
    ASSERT_TRUE(style.has_value()) << why;
    EXPECT_EQ(style->id, 12);
    EXPECT_EQ(style->data, data);
    file[30] ^= 1;
    EXPECT_FALSE(ReadStyleFile(file, &why).has_value());
    EXPECT_EQ(why, "checksum does not match");
    file.pop_back();
    EXPECT_FALSE(ReadStyleFile(file, &why).has_value());
}

} // namespace
