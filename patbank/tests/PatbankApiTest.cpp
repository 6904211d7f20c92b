// The C entry points, bound by name from libPatbank.so as the composer and
// the online client bind them. The library folder is the build's bin, so the
// shipped test styles (bin/styles) are in view; the user folder is temporary.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "MelodriftPlatform.h"
#include "TestStyles.h"
#include "core/StyleDataCheck.h"

namespace {

using melodrift::patbank::test::makeInfo;
using melodrift::patbank::test::makeStream;

struct Api {
    void* lib = nullptr;
    SF_GetInfo_fn getInfo;
    SF_GetData_fn getData;
    SF_GetTSInfos_fn getTSInfos;
    SF_GetRecomInfos_fn getRecomInfos;
    SF_Initialize_fn initialize;
    SF_GetUpdateDate_fn getUpdateDate;
    SF_UpdateIDlist_fn updateIDlist;
    SF_UpdateDetail_fn updateDetail;
    SF_SetUpdateDate_fn setUpdateDate;
    SF_UpdateRecomlist_fn updateRecomlist;
    SF_UpdateData_fn updateData;
    SF_GetStyleNums_fn getStyleNums;
    SF_Release_fn release;
};

template <typename Fn>
void bind(void* lib, Fn& fn, const char* name)
{
    fn = reinterpret_cast<Fn>(MDP_GetSymbol(lib, name));
    ASSERT_NE(fn, nullptr) << name;
}

class PatbankApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_home = new melodrift::patbank::test::TempDir;
        setenv("MELODRIFT_HOME", s_home->Root().c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        delete s_home;
        s_home = nullptr;
    }

    void SetUp() override
    {
        char error[512] = "";
        api.lib = MDP_LoadLibrary("Patbank.dll", error, sizeof error);
        ASSERT_NE(api.lib, nullptr) << error;
        bind(api.lib, api.getInfo, "SF_GetInfo");
        bind(api.lib, api.getData, "SF_GetData");
        bind(api.lib, api.getTSInfos, "SF_GetTSInfos");
        bind(api.lib, api.getRecomInfos, "SF_GetRecomInfos");
        bind(api.lib, api.initialize, "SF_Initialize");
        bind(api.lib, api.getUpdateDate, "SF_GetUpdateDate");
        bind(api.lib, api.updateIDlist, "SF_UpdateIDlist");
        bind(api.lib, api.updateDetail, "SF_UpdateDetail");
        bind(api.lib, api.setUpdateDate, "SF_SetUpdateDate");
        bind(api.lib, api.updateRecomlist, "SF_UpdateRecomlist");
        bind(api.lib, api.updateData, "SF_UpdateData");
        bind(api.lib, api.getStyleNums, "SF_GetStyleNums");
        bind(api.lib, api.release, "SF_Release");
    }
    void TearDown() override
    {
        if (api.release != nullptr)
            api.release();
        MDP_FreeLibrary(api.lib);
    }

    std::vector<tagStyleInfo> list(int32_t selector)
    {
        int32_t count = -5;
        EXPECT_EQ(api.getTSInfos(selector, &count, nullptr), 0);
        std::vector<tagStyleInfo> out(static_cast<size_t>(std::max(count, 0)));
        EXPECT_EQ(api.getTSInfos(selector, &count, out.data()), 0);
        out.resize(static_cast<size_t>(count));
        return out;
    }

    static bool has(const std::vector<tagStyleInfo>& styles, int32_t id)
    {
        return std::any_of(styles.begin(), styles.end(), [&](const tagStyleInfo& s) { return s.id == id; });
    }

    Api api{};
    static melodrift::patbank::test::TempDir* s_home;
};

melodrift::patbank::test::TempDir* PatbankApiTest::s_home = nullptr;

TEST_F(PatbankApiTest, ListsTheShippedStylesByMetre)
{
    const auto four = list(0);
    const auto three = list(1);
    EXPECT_TRUE(has(four, 1001));
    EXPECT_FALSE(has(four, 1002));
    EXPECT_TRUE(has(three, 1002));
    EXPECT_TRUE(has(list(-1), 1001) && has(list(-1), 1002));
    // Category box 6 holds the waltz (primary 6), box 0 the ballad.
    EXPECT_TRUE(has(list(SF_SELECT(SF_ALL_METRES, 1u << 6)), 1002));
    EXPECT_FALSE(has(list(SF_SELECT(SF_ALL_METRES, 1u << 6)), 1001));
    EXPECT_TRUE(has(list(SF_SELECT(0, 1u << 0)), 1001));

    int32_t capacity = 0;
    tagStyleInfo unused;
    EXPECT_EQ(api.getTSInfos(0, &capacity, &unused), 0);
    EXPECT_EQ(capacity, 0); // a zero capacity writes nothing
    for (int32_t bad : {4, -2, SF_SELECT(0, 0) | (1 << 20)}) {
        int32_t n = 0;
        EXPECT_EQ(api.getTSInfos(bad, &n, nullptr), -1) << bad;
    }
    EXPECT_EQ(api.getTSInfos(0, nullptr, nullptr), -1);
}

TEST_F(PatbankApiTest, GivesInfoAndDataOfAShippedStyle)
{
    tagStyleInfo info = melodrift::patbank::initialInfo();
    ASSERT_EQ(api.getInfo(1001, &info), 0);
    EXPECT_EQ(info.id, 1001);
    EXPECT_EQ(info.state, SF_STATE_INSTALLED);
    EXPECT_EQ(info.metre, 0);
    EXPECT_STREQ(info.name, "Pop Ballad");

    const uint8_t* data = nullptr;
    int32_t size = 0;
    ASSERT_EQ(api.getData(1001, &data, &size), 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, info.dataSize);
    EXPECT_TRUE(melodrift::patbank::checkStyleData({data, static_cast<size_t>(size)}, nullptr));

    tagStyleInfo untouched = melodrift::patbank::initialInfo();
    EXPECT_EQ(api.getInfo(999999, &untouched), -1);
    EXPECT_EQ(untouched.id, 0);
    EXPECT_EQ(api.getInfo(0, &untouched), -1);
    EXPECT_EQ(api.getInfo(1001, nullptr), -1);
    EXPECT_EQ(api.getData(999999, &data, &size), -1);
    EXPECT_EQ(api.getData(1001, nullptr, &size), -1);
}

TEST_F(PatbankApiTest, KeepsGivenDataReadableWhenTheOnlineClientReopens)
{
    const uint8_t* data = nullptr;
    int32_t size = 0;
    ASSERT_EQ(api.getData(1002, &data, &size), 0);
    const std::vector<uint8_t> copy(data, data + size);
    melodrift::patbank::test::TempDir folder;
    ASSERT_EQ(api.initialize(6, folder.Root().c_str()), 0);
    // The composer may still be inflating what it was given.
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), copy);
    const uint8_t* again = nullptr;
    ASSERT_EQ(api.getData(1002, &again, &size), 0);
    EXPECT_EQ(std::vector<uint8_t>(again, again + size), copy);
}

TEST_F(PatbankApiTest, RecommendsShippedStylesBeforeTheServiceSpeaks)
{
    tagStyleInfo infos[SF_RECOM_MAX];
    int32_t count = SF_RECOM_MAX;
    ASSERT_EQ(api.getRecomInfos(0, &count, infos), 0);
    ASSERT_GE(count, 1);
    EXPECT_EQ(infos[0].id, 1001); // featured
    count = SF_RECOM_MAX;
    ASSERT_EQ(api.getRecomInfos(1, &count, infos), 0);
    EXPECT_GE(count, 1);
    EXPECT_EQ(api.getRecomInfos(-1, &count, infos), -1);
    // A caller that treats count as output only still gets its 30 records' worth.
    count = 0;
    ASSERT_EQ(api.getRecomInfos(0, &count, infos), 0);
    EXPECT_EQ(infos[0].id, 1001);
    EXPECT_GE(count, 1);
    count = 1;
    ASSERT_EQ(api.getRecomInfos(0, &count, infos), 0);
    EXPECT_EQ(count, 1);
    count = 7;
    ASSERT_EQ(api.getRecomInfos(0, &count, nullptr), 0);
    EXPECT_GE(count, 1);
}

// The online client's sequence over one service lifetime, then a restart.
TEST_F(PatbankApiTest, StoresWhatTheOnlineClientHandsItDurably)
{
    melodrift::patbank::test::TempDir folder;
    ASSERT_EQ(api.initialize(5, folder.Root().c_str()), 0);
    EXPECT_EQ(api.getUpdateDate(), 0);

    const tagStyleListItem items[] = {{5001, 2, 0, 0}, {5002, 1, 0, 0}};
    int32_t need[2] = {0, 0};
    int32_t n = -1;
    ASSERT_EQ(api.updateIDlist(2, items, &n, need), 0);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(need[0], 5001);
    for (int32_t id : {5001, 5002}) {
        tagStyleInfo detail = makeInfo(1, id == 5001 ? 1 : 0, "Downloaded");
        std::memset(&detail, 0x5A, SF_DETAIL_OFFSET); // bytes 0..19 are not read
        ASSERT_EQ(api.updateDetail(id, &detail), 0);
    }
    ASSERT_EQ(api.setUpdateDate(777), 0);
    const int32_t recom[] = {5001, 1002};
    ASSERT_EQ(api.updateRecomlist(2, recom, &n, need), 0);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(need[0], 5001);
    const auto stream = makeStream(9);
    ASSERT_EQ(api.updateData(5001, static_cast<int32_t>(stream.size()), stream.data()), 0);
    int32_t online = -1, local = -1;
    ASSERT_EQ(api.getStyleNums(&online, &local), 0);
    EXPECT_EQ(online, 2);
    const int32_t localBefore = local;

    api.release();
    ASSERT_EQ(api.initialize(5, folder.Root().c_str()), 0);
    EXPECT_EQ(api.getUpdateDate(), 777);
    tagStyleInfo info;
    ASSERT_EQ(api.getInfo(5001, &info), 0);
    EXPECT_EQ(info.id, 5001);
    EXPECT_EQ(info.revision, 2);
    EXPECT_EQ(info.state, SF_STATE_INSTALLED);
    ASSERT_EQ(api.getInfo(5002, &info), 0);
    EXPECT_EQ(info.state, SF_STATE_ONLINE);
    ASSERT_EQ(api.getStyleNums(&online, &local), 0);
    EXPECT_EQ(local, localBefore);
    tagStyleInfo recs[SF_RECOM_MAX];
    n = SF_RECOM_MAX;
    ASSERT_EQ(api.getRecomInfos(1, &n, recs), 0);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(recs[0].id, 5001);
    EXPECT_EQ(recs[1].id, 1002);

    // The account has no styles any more: the online list empties.
    ASSERT_EQ(api.updateIDlist(0, nullptr, &n, nullptr), 0);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(api.getStyleNums(&online, nullptr), 0);
    EXPECT_EQ(online, 0);
}

TEST_F(PatbankApiTest, RefusesBadArguments)
{
    int32_t n = 0, ids[1];
    const tagStyleListItem item{1, 1, 0, 0};
    EXPECT_EQ(api.updateIDlist(1, nullptr, &n, ids), -1);
    EXPECT_EQ(api.updateIDlist(-1, &item, &n, ids), -1);
    EXPECT_EQ(api.updateIDlist(1, &item, nullptr, ids), -1);
    EXPECT_EQ(api.updateIDlist(1, &item, &n, nullptr), -1);
    int32_t online = -1;
    api.getStyleNums(&online, nullptr);
    EXPECT_EQ(online, 0); // nothing was stored by the refused calls
    EXPECT_EQ(api.updateRecomlist(1, nullptr, &n, ids), -1);
    const int32_t one = 1001;
    EXPECT_EQ(api.updateRecomlist(1, &one, &n, nullptr), -1);
    EXPECT_EQ(api.updateDetail(0, nullptr), -1);
    const uint8_t junk[] = {1, 2, 3};
    EXPECT_EQ(api.updateData(4, 3, junk), -1);
    EXPECT_EQ(api.updateData(4, -3, junk), -1);
    EXPECT_EQ(api.updateData(4, 3, nullptr), -1);

    // A user folder that cannot be created under a plain file is refused, and
    // the open store goes on serving the shipped styles.
    const std::string blocker = s_home->Root() + "/not-a-folder";
    FILE* f = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const size_t before = list(-1).size();
    EXPECT_EQ(api.initialize(0, (blocker + "/user").c_str()), -1);
    EXPECT_EQ(list(-1).size(), before);
    EXPECT_EQ(api.initialize(0, s_home->Root().c_str()), 0);
}

// The composer reads on the GUI thread while the online client writes on its
// own; under the sanitizers this shows any unguarded access.
TEST_F(PatbankApiTest, SurvivesReadsAndWritesFromTwoThreads)
{
    melodrift::patbank::test::TempDir folder;
    ASSERT_EQ(api.initialize(0, folder.Root().c_str()), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread reader([&] {
        while (!stop) {
            tagStyleInfo info;
            const uint8_t* data = nullptr;
            int32_t size = 0;
            if (api.getInfo(1001, &info) != 0 || api.getData(1001, &data, &size) != 0 || data[0] != 0x78)
                ++failures;
            int32_t count = 0;
            api.getTSInfos(-1, &count, nullptr);
        }
    });
    for (int i = 1; i <= 40; ++i) {
        tagStyleListItem item{6000 + i, 1, 0, 0};
        int32_t n = 0, need[1];
        EXPECT_EQ(api.updateIDlist(1, &item, &n, need), 0);
        const auto detail = makeInfo(6000 + i, 0, "Threaded");
        EXPECT_EQ(api.updateDetail(6000 + i, &detail), 0);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(failures, 0);
    int32_t online = 0;
    api.getStyleNums(&online, nullptr);
    EXPECT_EQ(online, 40);
}

} // namespace
