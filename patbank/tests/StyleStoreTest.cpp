// The store over a library folder and a user folder, both temporary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestStyles.h"
#include "core/FileIO.h"
#include "core/StyleFile.h"
#include "core/StyleStore.h"

namespace melodrift::patbank {
namespace {

using test::makeInfo;
using test::makeStream;

std::vector<int32_t> idsOf(const std::vector<tagStyleInfo>& styles)
{
    std::vector<int32_t> ids;
    for (const auto& s : styles)
        ids.push_back(s.id);
    return ids;
}

class StyleStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(library());
        ship(makeInfo(30, 0, "Rock", 1, -1));
        ship(makeInfo(10, 0, "Ballad", 0, 4, SF_FLAG_FEATURED));
        ship(makeInfo(20, 1, "Waltz", 6, 12));
    }

    std::string library() const { return m_dir.File("lib"); }
    std::string user() const { return m_dir.File("user"); }

    void ship(const tagStyleInfo& info, const std::string& file = "")
    {
        const auto bytes = serializeStyleFile(info, makeStream(static_cast<uint8_t>(info.id)));
        ASSERT_TRUE(writeFileDurably(library() + "/" + (file.empty() ? std::to_string(info.id) : file) + ".mds",
                                     bytes));
    }

    std::unique_ptr<StyleStore> openStore()
    {
        auto store = std::make_unique<StyleStore>(library(), user());
        store->open();
        return store;
    }

    // Lists a style online with details, as the online client would.
    void listOnline(StyleStore& s, int32_t id, int32_t metre, int32_t revision = 1, int8_t category = -1)
    {
        std::vector<int32_t> need;
        tagStyleListItem item{id, revision, 100, 0};
        ASSERT_TRUE(s.mergeList({&item, 1}, need));
        ASSERT_TRUE(s.storeDetail(id, makeInfo(id, metre, ("Online " + std::to_string(id)).c_str(), category)));
    }

    test::TempDir m_dir;
};

TEST_F(StyleStoreTest, ListsShippedThenOtherStylesOfAMetreWithTheirStates)
{
    auto s = openStore();
    listOnline(*s, 5, 0);
    listOnline(*s, 40, 0);
    listOnline(*s, 41, 1);
    const auto four = s->stylesOfMetre(0);
    EXPECT_EQ(idsOf(four), (std::vector<int32_t>{10, 30, 5, 40}));
    EXPECT_EQ(four[0].state, SF_STATE_INSTALLED);
    EXPECT_EQ(four[2].state, SF_STATE_ONLINE);
    EXPECT_STREQ(four[0].name, "Ballad");
    EXPECT_EQ(idsOf(s->stylesOfMetre(1)), (std::vector<int32_t>{20, 41}));
    EXPECT_TRUE(s->stylesOfMetre(3).empty());
    EXPECT_EQ(s->stylesOfMetre(-1).size(), 6u);
}

TEST_F(StyleStoreTest, FiltersByCategoryBoxes)
{
    auto s = openStore();
    listOnline(*s, 50, 0, 1, 9);
    struct Case {
        uint32_t mask;
        std::vector<int32_t> ids;
    };
    const Case cases[] = {
        {0, {10, 30, 50}},                  // no filter
        {1u << 0, {10}},                   // primary 0
        {1u << 4, {10}},                   // secondary 4
        {1u << 1 | 1u << 4, {10, 30}},      // either box
        {1u << 9, {50}},                   // 9 and up
        {1u << 5, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(idsOf(s->stylesOfMetre(0, c.mask)), c.ids) << "mask " << c.mask;
    // A secondary category of 12 counts under box 9.
    EXPECT_EQ(idsOf(s->stylesOfMetre(1, 1u << 9)), (std::vector<int32_t>{20}));
}

TEST_F(StyleStoreTest, RecommendsTheServiceListElseFeaturedFirst)
{
    auto s = openStore();
    // Nothing recommended yet: featured Ballad before Rock.
    EXPECT_EQ(idsOf(s->recommended(0, 30)), (std::vector<int32_t>{10, 30}));
    listOnline(*s, 60, 0);
    std::vector<int32_t> need;
    const int32_t ids[] = {60, 30, 20, 30};
    ASSERT_TRUE(s->storeRecommended(ids, need));
    EXPECT_EQ(need, (std::vector<int32_t>{60})); // 30 and 20 ship with the program
    // 60 is not installed yet, 20 is of another metre.
    EXPECT_EQ(idsOf(s->recommended(0, 30)), (std::vector<int32_t>{30}));
    ASSERT_TRUE(s->storeData(60, makeStream(60)));
    EXPECT_EQ(idsOf(s->recommended(0, 30)), (std::vector<int32_t>{60, 30}));
    EXPECT_EQ(idsOf(s->recommended(0, 1)), (std::vector<int32_t>{60}));
    EXPECT_EQ(idsOf(s->recommended(1, 30)), (std::vector<int32_t>{20}));
    // No recommendation of 6/8 and nothing installed: empty.
    EXPECT_TRUE(s->recommended(3, 30).empty());
}

TEST_F(StyleStoreTest, AsksForDetailsOfNewAndChangedStylesOnly)
{
    auto s = openStore();
    listOnline(*s, 7, 0, 1);
    std::vector<int32_t> need;
    const tagStyleListItem items[] = {{7, 1, 0, 0}, {8, 1, 0, 0}, {-3, 1, 0, 0}, {8, 1, 0, 0}};
    ASSERT_TRUE(s->mergeList(items, need));
    EXPECT_EQ(need, (std::vector<int32_t>{8}));
    const tagStyleListItem changed[] = {{7, 2, 0, 0}};
    ASSERT_TRUE(s->mergeList(changed, need));
    EXPECT_EQ(need, (std::vector<int32_t>{7}));
    ASSERT_TRUE(s->storeDetail(7, makeInfo(7, 0, "Seven v2")));
    ASSERT_TRUE(s->mergeList(changed, need));
    EXPECT_TRUE(need.empty());
    EXPECT_EQ(s->info(7)->revision, 2);
    EXPECT_EQ(s->onlineCount(), 2);
    ASSERT_TRUE(s->clearList());
    EXPECT_EQ(s->onlineCount(), 0);
    EXPECT_TRUE(s->info(7)); // details stay
}

TEST_F(StyleStoreTest, RefusesBadDetailsAndBadData)
{
    auto s = openStore();
    auto bad = makeInfo(9, 5, "Bad metre");
    EXPECT_FALSE(s->storeDetail(9, bad));
    bad = makeInfo(9, 0, "x");
    std::memset(bad.author, 'a', sizeof bad.author);
    EXPECT_FALSE(s->storeDetail(9, bad));
    EXPECT_FALSE(s->info(9));

    const std::vector<uint8_t> notZlib = {1, 2, 3, 4};
    auto noMagic = test::zlibOf({'K', 'R', 'X', 1, 0, 0, 0, 0});
    EXPECT_FALSE(s->storeData(9, notZlib));
    EXPECT_FALSE(s->storeData(9, noMagic));
    EXPECT_FALSE(std::filesystem::exists(user() + "/9.dat"));
}

TEST_F(StyleStoreTest, GivesDataDownloadedBeforeShippedAndKeepsOldBuffers)
{
    auto s = openStore();
    const auto* shipped = s->data(30);
    ASSERT_NE(shipped, nullptr);
    EXPECT_EQ(*shipped, makeStream(30));
    EXPECT_EQ(s->data(99), nullptr);

    listOnline(*s, 30, 0, 2);
    ASSERT_TRUE(s->storeData(30, makeStream(77)));
    const auto* downloaded = s->data(30);
    ASSERT_NE(downloaded, nullptr);
    EXPECT_EQ(*downloaded, makeStream(77));
    EXPECT_STREQ(s->info(30)->name, "Online 30");
    // The first pointer was handed out earlier and must still be readable.
    EXPECT_EQ(*shipped, makeStream(30));
    ASSERT_TRUE(s->storeData(30, makeStream(78)));
    EXPECT_EQ(*downloaded, makeStream(77));
    EXPECT_EQ(*s->data(30), makeStream(78));
}

TEST_F(StyleStoreTest, KeepsEverythingAcrossReopening)
{
    {
        auto s = openStore();
        listOnline(*s, 70, 1, 3, 2);
        listOnline(*s, 71, 0, 1);
        std::vector<int32_t> need;
        const int32_t recom[] = {70};
        ASSERT_TRUE(s->storeRecommended(recom, need));
        ASSERT_TRUE(s->storeData(70, makeStream(70)));
        ASSERT_TRUE(s->setUpdateStamp(1234));
    }
    auto s = openStore();
    EXPECT_EQ(s->updateStamp(), 1234);
    EXPECT_EQ(s->onlineCount(), 2);
    EXPECT_EQ(s->localCount(), 4); // three shipped, one downloaded
    ASSERT_TRUE(s->info(70));
    EXPECT_EQ(s->info(70)->state, SF_STATE_INSTALLED);
    EXPECT_EQ(s->info(70)->revision, 3);
    EXPECT_EQ(s->info(71)->state, SF_STATE_ONLINE);
    EXPECT_EQ(idsOf(s->recommended(1, 30)), (std::vector<int32_t>{70}));
    EXPECT_EQ(*s->data(70), makeStream(70));
    for (const auto& name : listFiles(user(), ""))
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
}

TEST_F(StyleStoreTest, AFailedWriteChangesNothing)
{
    auto s = openStore();
    ASSERT_TRUE(s->setUpdateStamp(5));
    // A folder where the index should go makes the rename fail.
    std::filesystem::remove(user() + "/catalog.idx");
    std::filesystem::create_directories(user() + "/catalog.idx/blocker");
    std::vector<int32_t> need;
    tagStyleListItem item{90, 1, 0, 0};
    EXPECT_FALSE(s->setUpdateStamp(6));
    EXPECT_FALSE(s->mergeList({&item, 1}, need));
    EXPECT_TRUE(need.empty());
    EXPECT_FALSE(s->storeDetail(90, makeInfo(90, 0, "x")));
    EXPECT_EQ(s->updateStamp(), 5);
    EXPECT_EQ(s->onlineCount(), 0);
    EXPECT_FALSE(s->info(90));
    for (const auto& name : listFiles(user(), ""))
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
}

TEST_F(StyleStoreTest, SkipsBrokenFilesAndSetsABrokenIndexAside)
{
    {
        auto s = openStore();
        listOnline(*s, 80, 0);
        ASSERT_TRUE(s->storeData(80, makeStream(80)));
    }
    // A shipped file cut short, a stray copy of an existing id, a data file
    // named for another style, a broken index and a leftover temporary file.
    auto good = serializeStyleFile(makeInfo(31, 0, "Cut"), makeStream(31));
    good.resize(good.size() - 1);
    ASSERT_TRUE(writeFileDurably(library() + "/31.mds", good));
    ship(makeInfo(30, 0, "Second Rock"), "zz-copy");
    std::filesystem::copy_file(user() + "/80.dat", user() + "/81.dat");
    std::ofstream(user() + "/catalog.idx", std::ios::binary | std::ios::trunc) << "MDSC garbage";
    std::ofstream(user() + "/catalog.idx.tmp-1") << "half";

    auto s = openStore();
    EXPECT_FALSE(s->info(31));
    EXPECT_STREQ(s->info(30)->name, "Rock");
    EXPECT_EQ(s->onlineCount(), 0);
    EXPECT_FALSE(s->info(80)); // its details were in the broken index
    EXPECT_TRUE(std::filesystem::exists(user() + "/catalog.idx.bad"));
    EXPECT_FALSE(std::filesystem::exists(user() + "/catalog.idx.tmp-1"));
    // The store works on: new details make the downloaded data usable again.
    listOnline(*s, 80, 0);
    EXPECT_EQ(s->info(80)->state, SF_STATE_INSTALLED);
    EXPECT_EQ(s->data(81), nullptr);
}

TEST_F(StyleStoreTest, RefusesADataFileDamagedAfterOpening)
{
    auto s = openStore();
    listOnline(*s, 85, 0);
    ASSERT_TRUE(s->storeData(85, makeStream(85)));
    auto reopened = openStore();
    auto bytes = readFile(user() + "/85.dat", 1 << 20);
    ASSERT_TRUE(bytes);
    bytes->back() ^= 1;
    {
        std::ofstream out(user() + "/85.dat", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    }
    EXPECT_EQ(reopened->data(85), nullptr);
}

} // namespace
} // namespace melodrift::patbank
