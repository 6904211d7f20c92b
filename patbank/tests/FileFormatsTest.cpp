// The three files the store reads: every one must round-trip, and every
// broken copy (cut short, bit flipped, lying counts, bad records) must be
// refused without reading outside the bytes.
#include <gtest/gtest.h>

#include <functional>

#include "TestStyles.h"
#include "core/DataFile.h"
#include "core/StoreIndex.h"
#include "core/StyleFile.h"

namespace melodrift::patbank {
namespace {

using test::makeInfo;
using test::makeStream;

bool sameBytes(const tagStyleInfo& a, const tagStyleInfo& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

StoreIndex sampleIndex()
{
    StoreIndex index;
    index.updateStamp = 20260101;
    index.list = {{7, 3, 900, 0}, {9, 1, 800, 0}};
    index.details = {makeInfo(7, 0, "Seven"), makeInfo(9, 1, "Nine")};
    index.recommended = {9, 7};
    return index;
}

TEST(StyleFile, RoundTripsInfoAndData)
{
    const auto info = makeInfo(42, 1, "Waltz", 3, 11, SF_FLAG_FEATURED);
    const auto data = makeStream(5);
    std::string why;
    auto parsed = parseStyleFile(serializeStyleFile(info, data), &why);
    ASSERT_TRUE(parsed) << why;
    EXPECT_TRUE(sameBytes(parsed->info, info));
    EXPECT_EQ(parsed->data, data);
}

TEST(DataFile, RoundTripsAndChecksTheStyleId)
{
    const auto data = makeStream(1);
    const auto bytes = serializeDataFile(12, 4, data);
    uint64_t size = bytes.size();
    auto header = parseDataFileHeader({bytes.data(), kDataFileHeader}, size, nullptr);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->id, 12);
    EXPECT_EQ(header->revision, 4);
    EXPECT_EQ(parseDataFile(bytes, 12, nullptr), data);
    std::string why;
    EXPECT_FALSE(parseDataFile(bytes, 13, &why));
    EXPECT_EQ(why, "data of another style");
}

TEST(StoreIndex, RoundTripsEveryPart)
{
    const StoreIndex index = sampleIndex();
    std::string why;
    auto parsed = parseStoreIndex(serializeStoreIndex(index), &why);
    ASSERT_TRUE(parsed) << why;
    EXPECT_EQ(parsed->updateStamp, index.updateStamp);
    ASSERT_EQ(parsed->list.size(), 2u);
    EXPECT_EQ(parsed->list[0].revision, 3);
    ASSERT_EQ(parsed->details.size(), 2u);
    EXPECT_TRUE(sameBytes(parsed->details[1], index.details[1]));
    EXPECT_EQ(parsed->recommended, index.recommended);
}

// Every file format under the same abuse: each prefix, each flipped byte.
struct Format {
    const char* name;
    std::vector<uint8_t> good;
    std::function<bool(std::span<const uint8_t>)> accepts;
};

std::vector<Format> formats()
{
    return {
        {"style file", serializeStyleFile(makeInfo(3, 0, "S"), makeStream(2)),
         [](std::span<const uint8_t> b) { return parseStyleFile(b, nullptr).has_value(); }},
        {"data file", serializeDataFile(3, 1, makeStream(2)),
         [](std::span<const uint8_t> b) { return parseDataFile(b, 3, nullptr).has_value(); }},
        {"store index", serializeStoreIndex(sampleIndex()),
         [](std::span<const uint8_t> b) { return parseStoreIndex(b, nullptr).has_value(); }},
    };
}

TEST(BrokenFiles, EveryTruncationIsRefused)
{
    for (const auto& f : formats()) {
        ASSERT_TRUE(f.accepts(f.good)) << f.name;
        for (size_t n = 0; n < f.good.size(); ++n) {
            // A copy of exactly n bytes, so ASan sees any read past the end.
            std::vector<uint8_t> cut(f.good.begin(), f.good.begin() + static_cast<long>(n));
            EXPECT_FALSE(f.accepts(cut)) << f.name << " cut to " << n;
        }
        auto longer = f.good;
        longer.push_back(0);
        EXPECT_FALSE(f.accepts(longer)) << f.name << " with a trailing byte";
    }
}

TEST(BrokenFiles, EveryFlippedByteIsRefused)
{
    for (const auto& f : formats()) {
        for (size_t i = 0; i < f.good.size(); ++i) {
            auto bad = f.good;
            bad[i] ^= 0x41;
            EXPECT_FALSE(f.accepts(bad)) << f.name << " byte " << i;
        }
    }
}

// Records whose checksum is right but whose content is not.
TEST(BrokenFiles, BadRecordsAreRefusedDespiteAGoodChecksum)
{
    struct Case {
        const char* what;
        std::function<void(StoreIndex&)> spoil;
        const char* why;
    };
    const Case cases[] = {
        {"list id 0", [](StoreIndex& x) { x.list[0].id = 0; }, "bad or repeated list id"},
        {"repeated list id", [](StoreIndex& x) { x.list[1].id = x.list[0].id; }, "bad or repeated list id"},
        {"repeated detail", [](StoreIndex& x) { x.details[1].id = x.details[0].id; }, "repeated detail id"},
        {"metre 7", [](StoreIndex& x) { x.details[0].metre = 7; }, "detail record: metre out of range"},
        {"name without NUL", [](StoreIndex& x) { std::memset(x.details[0].name, 'a', 40); },
         "detail record: text not terminated"},
        {"wrong rest size", [](StoreIndex& x) { x.details[1].restSize = 1800; },
         "detail record: wrong record size field"},
        {"negative recommendation", [](StoreIndex& x) { x.recommended[0] = -4; }, "bad recommended id"},
    };
    for (const auto& c : cases) {
        StoreIndex index = sampleIndex();
        c.spoil(index);
        std::string why;
        EXPECT_FALSE(parseStoreIndex(serializeStoreIndex(index), &why)) << c.what;
        EXPECT_EQ(why, c.why) << c.what;
    }
    auto info = makeInfo(5, 0, "x");
    info.description[119] = 'x';
    std::memset(info.description, 'y', 120);
    std::string why;
    EXPECT_FALSE(parseStyleFile(serializeStyleFile(info, makeStream(0)), &why));
    EXPECT_EQ(why, "text not terminated");
}

TEST(BrokenFiles, HugeCountsDoNotAllocate)
{
    auto bytes = serializeStoreIndex(sampleIndex());
    for (int field : {12, 16, 20}) {
        auto bad = bytes;
        bad[field + 3] = 0xFF; // count around 4 billion
        std::string why;
        EXPECT_FALSE(parseStoreIndex(bad, &why));
        EXPECT_EQ(why, "counts do not match the file size");
    }
}

} // namespace
} // namespace melodrift::patbank
