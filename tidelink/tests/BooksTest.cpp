#include "AtomicFile.h"
#include "NoticeBook.h"
#include "QnABook.h"
#include "Wire.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace melodrift::tidelink;
namespace fs = std::filesystem;

namespace {

class Payload {
public:
    Payload& I32(int32_t v)
    {
        uint8_t raw[4];
        PutInt32(raw, v);
        bytes.insert(bytes.end(), raw, raw + 4);
        return *this;
    }
    Payload& I16(int16_t v)
    {
        bytes.push_back(uint8_t(uint16_t(v)));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
        return *this;
    }
    Payload& Text(const std::string& s)
    {
        I32(int32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    std::vector<uint8_t> bytes;
};

class BooksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tidelink-books-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

std::vector<uint8_t> TwoNotices()
{
    return Payload().I32(2).I32(10).I16(0).I16(1).Text("Title A").Text("Text A").I32(11).I16(0).I16(2).Text("B").Text(
        "Text B").bytes;
}

TEST_F(BooksTest, NoticesMergeSaveAndReloadDurably)
{
    std::string path = (dir / "notice.ntc").string();
    NoticeBook book;
    book.Load(path);
    ASSERT_EQ(book.Merge(0, TwoNotices().data(), TwoNotices().size()), 2);
    EXPECT_EQ(book.UnreadCount(0), 2);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + ".tmp")) << "the temporary file is renamed into place";

    auto del = Payload().I32(1).I32(10).I16(1).bytes;
    EXPECT_EQ(book.Merge(0, del.data(), del.size()), 1);
    EXPECT_EQ(book.Size(), 1u);

    NoticeBook again;
    again.Load(path);
    CS_TextRecord record{};
    int32_t count = 1;
    count = again.Get(0, &record, count);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(record.title, "B");
    EXPECT_STREQ(record.text, "Text B");
    EXPECT_EQ(again.UnreadCount(0), 0) << "general notices handed out become read";
    NoticeBook third;
    third.Load(path);
    EXPECT_EQ(third.UnreadCount(0), 0) << "and that is saved";
}

TEST_F(BooksTest, GetWithNoRoomCountsWithoutMarkingRead)
{
    NoticeBook book;
    book.Load((dir / "notice.ntc").string());
    book.Merge(0, TwoNotices().data(), TwoNotices().size());
    auto personal = Payload().I32(1).I32(12).I16(0).I16(0).Text("mine").Text("for you").bytes;
    book.Merge(77, personal.data(), personal.size());
    EXPECT_EQ(book.Get(0, nullptr, 0), 2);
    EXPECT_EQ(book.UnreadCount(0), 2);
    EXPECT_EQ(book.Get(77, nullptr, 0), 1);
    CS_TextRecord records[2]{};
    EXPECT_EQ(book.Get(77, records, 2), 1);
    EXPECT_EQ(book.UnreadCount(77), 1) << "personal notices are not marked read by listing";
}

TEST_F(BooksTest, MalformedNoticePayloadChangesNothing)
{
    NoticeBook book;
    book.Load((dir / "notice.ntc").string());
    book.Merge(0, TwoNotices().data(), TwoNotices().size());
    std::vector<std::vector<uint8_t>> broken = {
        Payload().I32(1).I32(5).I16(0).I16(0).Text("t").I32(100).bytes, // text longer than the payload
        Payload().I32(3).I32(5).I16(1).bytes,                           // fewer entries than counted
        Payload().I32(-1).bytes,
        {},
    };
    for (const auto& b : broken)
        EXPECT_EQ(book.Merge(0, b.data(), b.size()), -1);
    EXPECT_EQ(book.Size(), 2u);
}

TEST_F(BooksTest, ForeignOrDamagedFilesAreIgnored)
{
    std::string path = (dir / "notice.ntc").string();
    ASSERT_TRUE(WriteFileAtomically(path, {'N', 't', 'c', 0x02, 0, 0, 0, 0}));
    NoticeBook book;
    book.Load(path);
    EXPECT_EQ(book.Size(), 0u);
    auto good = NoticeBook::Encode({{1, 0, 0, 0, "a", "b"}});
    good.resize(good.size() - 1);
    ASSERT_TRUE(WriteFileAtomically(path, good));
    book.Load(path);
    EXPECT_EQ(book.Size(), 0u);
}

TEST_F(BooksTest, QuestionSyncAppliesStatesToTheRightLists)
{
    QnABook book;
    book.Load(dir.string());
    book.AddLocal({30, 0, 5, "my question", ""});
    book.AddLocal({10, 0, 5, "older question", ""});
    EXPECT_EQ(book.SyncStamp(), 0);
    auto payload = Payload()
                       .I32(4)
                       .I32(30).I32(5).I32(6).Text("my question").Text("public answer") // made public
                       .I32(20).I32(0).I32(6).Text("other").Text("answered")           // public only
                       .I32(10).I32(5).I32(1).Text("older question").Text("private")   // own, answered
                       .I32(99).I32(0).I32(5)                                           // deleted
                       .bytes;
    ASSERT_EQ(book.Merge(payload.data(), payload.size(), 17), 4);
    EXPECT_EQ(book.PublicSize(), 2u);
    EXPECT_EQ(book.LocalSize(), 2u);
    CS_TextRecord records[4]{};
    auto own = book.Get(true, 5, records, 4);
    ASSERT_EQ(own.matched, 2);
    EXPECT_STREQ(records[0].title, "older question") << "lists stay sorted by id";
    EXPECT_STREQ(records[0].text, "private");
    EXPECT_STREQ(records[1].text, "public answer") << "a question made public brings its answer home";
    EXPECT_FALSE(own.unanswered);
    EXPECT_EQ(book.SyncStamp(), 17);
    EXPECT_EQ(book.Get(true, 6, nullptr, 0).matched, 0) << "another user's questions are not listed";

    auto del = Payload().I32(1).I32(30).I32(0).I32(5).bytes;
    ASSERT_EQ(book.Merge(del.data(), del.size(), 18), 1);
    EXPECT_EQ(book.PublicSize(), 1u);
    EXPECT_EQ(book.LocalSize(), 1u);

    QnABook reloaded;
    reloaded.Load(dir.string());
    EXPECT_EQ(reloaded.LocalSize(), 1u);
    EXPECT_EQ(reloaded.PublicSize(), 1u);
    EXPECT_EQ(reloaded.SyncStamp(), 18);
}

TEST_F(BooksTest, UnansweredOwnQuestionIsReported)
{
    QnABook book;
    book.Load(dir.string());
    book.AddLocal({1, 0, 0, "anonymous", ""});
    CS_TextRecord r{};
    EXPECT_TRUE(book.Get(true, 5, &r, 1).unanswered);
    EXPECT_FALSE(book.Get(true, 5, nullptr, 0).unanswered) << "nothing handed out, nothing to report";
    auto broken = Payload().I32(1).I32(2).I32(0).I32(0).I32(4).bytes;
    EXPECT_EQ(book.Merge(broken.data(), broken.size(), 3), -1);
    EXPECT_EQ(book.LocalSize(), 1u);
}

} // namespace

namespace {

// A folder entry where a file should be: writing that file fails. Unblock
// puts the old file back, as a crash before its write would have left it.
std::vector<uint8_t> Block(const fs::path& file)
{
    std::vector<uint8_t> old;
    ReadWholeFile(file.string(), old, 1 << 20);
    fs::remove(file);
    fs::create_directory(file);
    return old;
}

void Unblock(const fs::path& file, const std::vector<uint8_t>& old)
{
    fs::remove_all(file);
    if (!old.empty()) {
        ASSERT_TRUE(WriteFileAtomically(file.string(), old));
    }
}

} // namespace

TEST_F(BooksTest, ACrashBetweenTheQuestionFilesLosesNoAnswers)
{
    // An own question (id 7) and a public answer arrive in one sync at stamp 20.
    auto sync = Payload()
                    .I32(2)
                    .I32(7).I32(3).I32(1).Text("mine?").Text("yours")
                    .I32(8).I32(0).I32(6).Text("public?").Text("for all")
                    .bytes;
    struct Case {
        const char* blocked;
        int32_t publicAnswers;
        bool stampMoved;
    };
    auto earlier = Payload().I32(1).I32(5).I32(0).I32(6).Text("old?").Text("old answer").bytes;
    // Only one of the two files reaches the disk. Whatever is left, the next
    // sync starts no later than the public answers that were saved.
    for (Case c : {Case{"common.qna", 1, false}, Case{"local.qna", 2, true}}) {
        SCOPED_TRACE(c.blocked);
        fs::remove_all(dir);
        fs::create_directories(dir);
        {
            QnABook book;
            book.Load(dir.string());
            book.AddLocal({7, 0, 3, "mine?", ""});
            ASSERT_EQ(book.Merge(earlier.data(), earlier.size(), 10), 1);
            ASSERT_TRUE(book.Save());
            auto old = Block(dir / c.blocked);
            ASSERT_EQ(book.Merge(sync.data(), sync.size(), 20), 2);
            EXPECT_FALSE(book.Save());
            Unblock(dir / c.blocked, old);
        }
        QnABook reloaded;
        reloaded.Load(dir.string());
        EXPECT_EQ(int32_t(reloaded.PublicSize()), c.publicAnswers);
        EXPECT_EQ(reloaded.SyncStamp(), c.stampMoved ? 20 : 10);
        EXPECT_EQ(reloaded.LocalIds(10), std::vector<int32_t>{7}) << "the own question is asked for by id again";
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().filename().string().find(".qna."), std::string::npos)
                << "no temporary file is left: " << entry.path();
    }
}

TEST_F(BooksTest, WritesReplaceTheFileWholeAndLeaveNoTemporaryFiles)
{
    fs::path file = dir / "x.bin";
    ASSERT_TRUE(WriteFileAtomically(file.string(), {1, 2, 3}));
    ASSERT_TRUE(WriteFileAtomically(file.string(), {4, 5}));
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadWholeFile(file.string(), back, 100));
    EXPECT_EQ(back, (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_read, fs::perms::owner_read);
    Block(dir / "y.bin");
    EXPECT_FALSE(WriteFileAtomically((dir / "y.bin").string(), {1}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2) << "x.bin and the folder only";
}
