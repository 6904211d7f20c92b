#include "StyleCatalog.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace melodrift::arrangix;
using namespace krvtest;

namespace {

StyleInfo infoFor(int32_t id, uint8_t mains, uint8_t intros, uint8_t outros)
{
    StyleInfo r = blankStyleInfo();
    std::memcpy(r.data(), &id, 4);
    r[36] = mains;
    r[38] = intros;
    r[39] = outros;
    r[240] = 2;  // intro 0: two bars
    r[241] = 5;
    r[248] = 1;  // outro 0
    r[249] = 3;
    return r;
}

}  // namespace

TEST(StyleCatalog, BlankInfoRecordState)
{
    StyleInfo r = blankStyleInfo();
    int32_t v;
    std::memcpy(&v, r.data() + 20, 4);
    EXPECT_EQ(v, 1780);
    EXPECT_EQ(r[32], 0xFF);
    EXPECT_EQ(r[35], 0xFF);
    EXPECT_EQ(r[36], 0);
    std::memcpy(&v, r.data() + 256, 4);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(r[264], 0xFF);
    EXPECT_EQ(r[1799], 0xFF);
    EXPECT_EQ(r[263], 0xFF);
}

TEST(StyleCatalog, StyleCacheEvictsTheOldestLoadedEvenWhenRecentlyUsed)
{
    FakeStore store;
    for (int id = 1; id <= 9; ++id)
        store.add(id, smallStyle());
    StyleCatalog catalog(store.access());
    for (int id = 1; id <= 8; ++id)
        ASSERT_TRUE(catalog.style(id, true));
    ASSERT_TRUE(catalog.style(1, false));  // used last, still loaded first
    EXPECT_EQ(store.dataCalls, 8);
    ASSERT_TRUE(catalog.style(9, true));
    EXPECT_FALSE(catalog.style(1, false));
    EXPECT_TRUE(catalog.style(2, false));
    EXPECT_TRUE(catalog.style(9, false));
}

TEST(StyleCatalog, InfoCacheHoldsThirtyTwo)
{
    FakeStore store;
    for (int id = 1; id <= 33; ++id)
        store.infos[id] = infoFor(id, 1, 1, 1);
    StyleCatalog catalog(store.access());
    for (int id = 1; id <= 33; ++id)
        ASSERT_NE(catalog.info(id), nullptr);
    EXPECT_EQ(store.infoCalls, 33);
    catalog.info(33);
    catalog.info(2);
    EXPECT_EQ(store.infoCalls, 33);
    catalog.info(1);  // evicted: asked again
    EXPECT_EQ(store.infoCalls, 34);
}

TEST(StyleCatalog, IdsOfZeroOrBelowNeverReachTheStore)
{
    FakeStore store;
    store.add(0, smallStyle());
    store.add(-3, smallStyle());
    StyleCatalog catalog(store.access());
    for (int id : {0, -3}) {
        EXPECT_FALSE(catalog.style(id, true));
        EXPECT_EQ(catalog.info(id), nullptr);
    }
    EXPECT_EQ(store.dataCalls, 0);
    EXPECT_EQ(store.infoCalls, 0);
}

TEST(StyleCatalog, UndecodableStyleIsNotCached)
{
    FakeStore store;
    auto bytes = krv(smallStyle());
    bytes[0] = 'Q';
    store.data[4] = deflate(bytes);
    StyleCatalog catalog(store.access());
    LogCapture log;
    EXPECT_FALSE(catalog.style(4, true));
    EXPECT_FALSE(catalog.style(4, true));
    EXPECT_EQ(store.dataCalls, 2);
    EXPECT_EQ(log.Count("Decode style 4."), 2);
    EXPECT_FALSE(catalog.style(5, true));  // unknown to the store
    EXPECT_TRUE(log.Contains("SF_GetData ret error."));
}

TEST(StyleCatalog, SegmentCountsAndBarsTable)
{
    FakeStore store;
    store.add(1, smallStyle());
    store.infos[1] = infoFor(1, 6, 4, 3);  // disagrees with the data on purpose
    store.infos[2] = infoFor(2, 6, 4, 3);  // no data
    StyleCatalog catalog(store.access());
    catalog.style(1, true);
    struct Case {
        int32_t code, id, count, bars;
    } cases[] = {
        // decoded style: counted from its segments
        {-1, 1, -1, -1}, {0, 1, 2, -1}, {255, 1, 2, -1}, {256, 1, 1, 2}, {257, 1, 1, 0},
        {272, 1, 1, 1}, {273, 1, 1, 0},
        // info record only
        {-1, 2, -1, -1}, {0, 2, 6, -1}, {255, 2, 6, -1}, {256, 2, 4, 2}, {257, 2, 4, 5},
        {272, 2, 3, 1}, {273, 2, 3, 3}, {264, 2, 4, 0}, {300, 2, 3, 0},
        // unknown style
        {0, 3, -1, -1}, {256, 3, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(catalog.segmentCount(c.code, c.id), c.count) << c.code << " " << c.id;
        EXPECT_EQ(catalog.segmentBars(c.code, c.id), c.bars) << c.code << " " << c.id;
    }
    EXPECT_EQ(store.dataCalls, 1);  // segment queries never load a style
}
