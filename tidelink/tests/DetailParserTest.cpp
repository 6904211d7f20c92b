#include "DetailParser.h"
#include "Wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace melodrift::tidelink;

namespace {

// Builds detail data the way the server sends it.
struct DetailBuilder {
    std::vector<uint8_t> bytes;
    uint8_t counts[4] = {2, 1, 1, 1};

    std::vector<uint8_t> Build(const std::string& author = "Ann", int groupsOfFirst = 2)
    {
        bytes.assign(16, 0);
        bytes[0] = 7;
        bytes.insert(bytes.end(), counts, counts + 4);
        Text(author);
        Text("Swing");
        Text("A light swing");
        Counted({4, 2}); // intro bars
        Counted({1});    // outro bars
        Counted({});
        for (int kind = 0; kind < 4; ++kind) {
            int entries = counts[kind] * (kind >= 2 ? 2 : 1);
            for (int j = 0; j < entries; ++j) {
                int groups = kind == 0 && j == 0 ? groupsOfFirst : 1;
                bytes.push_back(uint8_t(groups));
                for (int g = 0; g < groups; ++g) {
                    bytes.push_back(uint8_t(9));
                    bytes.push_back(uint8_t(kind * 10 + j));
                    bytes.push_back(uint8_t(g + 1));
                }
            }
        }
        return bytes;
    }
    void Text(const std::string& s)
    {
        bytes.push_back(uint8_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    void Counted(std::vector<uint8_t> b)
    {
        bytes.push_back(uint8_t(b.size()));
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
};

StyleInfoRecord Fresh()
{
    StyleInfoRecord r{};
    PutInt32(r.data(), 42);
    ResetDetailBlock(r);
    return r;
}

TEST(DetailParser, FillsTheBlockAtItsRecordOffsets)
{
    DetailBuilder b;
    auto data = b.Build();
    StyleInfoRecord r = Fresh();
    ASSERT_TRUE(ParseDetail(data.data(), data.size(), r));
    EXPECT_EQ(GetInt32(r.data()), 42) << "the leading bytes stay the caller's";
    EXPECT_EQ(r[20], 7);
    EXPECT_EQ(r[36], 2) << "segment counts land at record offset 36";
    EXPECT_STREQ(reinterpret_cast<const char*>(&r[40]), "Ann");
    EXPECT_STREQ(reinterpret_cast<const char*>(&r[80]), "Swing");
    EXPECT_STREQ(reinterpret_cast<const char*>(&r[120]), "A light swing");
    EXPECT_EQ(r[240], 4);
    EXPECT_EQ(r[241], 2);
    EXPECT_EQ(r[242], 0) << "unsent intro counts keep their initial 0";
    EXPECT_EQ(r[248], 1);
    EXPECT_EQ(GetInt32(&r[256]), -1) << "an empty group of 8 leaves the reserved words";
    EXPECT_EQ(GetInt32(&r[260]), -1);
    // kind 0 entry 0, two groups; kind 1 entry 0 is entry 8; kind 3 entry 1 is entry 25
    EXPECT_EQ(r[264 + 0], 9);
    EXPECT_EQ(r[264 + 3 + 2], 2);
    EXPECT_EQ(r[264 + 6], 0xFF) << "groups not sent stay 0xFF";
    EXPECT_EQ(r[264 + 48 * 8 + 1], 10);
    EXPECT_EQ(r[264 + 48 * 25 + 1], 31);
    EXPECT_EQ(GetInt32(&r[20 + 0]), GetInt32(data.data())) << "the first 20 bytes are copied as they are";
}

TEST(DetailParser, RejectsDataThatDoesNotFitOrIsNotConsumedExactly)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
    };
    DetailBuilder b;
    auto good = b.Build();
    std::vector<Case> cases;
    auto trailing = good;
    trailing.push_back(0);
    cases.push_back({"a byte too many", trailing});
    auto cut = good;
    cut.pop_back();
    cases.push_back({"a byte too few", cut});
    cases.push_back({"author of 40 bytes", DetailBuilder{}.Build(std::string(40, 'a'))});
    cases.push_back({"17 groups in one entry", DetailBuilder{}.Build("Ann", 17)});
    DetailBuilder many;
    many.counts[3] = 5; // outro entries 24..33 run past the 32 entries of the block
    cases.push_back({"outro count beyond the block", many.Build()});
    DetailBuilder intros;
    intros.counts[2] = 9;
    intros.counts[3] = 0;
    cases.push_back({"intro count beyond the block", intros.Build()});
    cases.push_back({"empty", {}});
    for (const Case& c : cases) {
        StyleInfoRecord r = Fresh();
        EXPECT_FALSE(ParseDetail(c.data.data(), c.data.size(), r)) << c.name;
    }
}

TEST(DetailParser, InitialBlockMatchesTheStoreRecordLayout)
{
    StyleInfoRecord r = Fresh();
    EXPECT_EQ(GetInt32(&r[20]), 1780);
    EXPECT_EQ(r[36], 0);
    EXPECT_EQ(GetInt32(&r[256]), -1);
    EXPECT_EQ(r[264], 0xFF);
    EXPECT_EQ(r[1799], 0xFF);
}

} // namespace
