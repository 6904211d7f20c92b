// The styles in sources/ compile, cover what the composer must be tested
// with, and the build's copies in bin/styles are up to date.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "KrvTestReader.h"
#include "StyleBuilder.h"
#include "StyleSourceParser.h"
#include "core/StyleFile.h"

namespace stylec {
namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Shipped {
    const char* stem;
    int metre;
};

class ShippedStyles : public ::testing::TestWithParam<Shipped> {
protected:
    void SetUp() override
    {
        const std::string root = env("MELODRIFT_SOURCE_DIR").empty() ? STYLES_SOURCE_ROOT : env("MELODRIFT_SOURCE_DIR");
        const std::string path = root + "/styles/sources/" + GetParam().stem + ".style";
        auto r = parseStyleSource(readText(path));
        ASSERT_TRUE(r.style) << path << ":" << (r.errors.empty() ? 0 : r.errors[0].line) << ": "
                             << (r.errors.empty() ? "unreadable" : r.errors[0].message);
        m_style = compileStyle(*r.style);
        krvtest::Reader reader(m_style.block);
        auto block = reader.block();
        ASSERT_TRUE(block) << reader.error();
        m_block = *block;
    }

    CompiledStyle m_style;
    krvtest::Block m_block;
};

TEST_P(ShippedStyles, HaveTheirMetreAndEverySegmentKind)
{
    EXPECT_EQ(m_style.info.metre, GetParam().metre);
    EXPECT_EQ(m_block.metre, GetParam().metre);
    ASSERT_EQ(m_block.kinds.size(), 4u);
    for (int kind = 0; kind < 4; ++kind) {
        EXPECT_FALSE(m_block.kinds[kind].empty()) << "kind " << kind;
        EXPECT_EQ(m_style.info.segmentCount[kind], m_block.kinds[kind].size());
    }
    for (const auto& intro : m_block.kinds[2])
        EXPECT_EQ(m_style.info.introBars[intro.id] * 192u * (GetParam().metre == 0 ? 4 : 3),
                  intro.groups[0][0].length);
}

TEST_P(ShippedStyles, HaveFullAndDerivedChordGroups)
{
    bool allFour = false, someDerived = false;
    for (int kind = 0; kind < 2; ++kind)
        for (const auto& seg : m_block.kinds[kind]) {
            EXPECT_FALSE(seg.groups[0].empty()) << "major group is the source of derived ones";
            int filled = 0;
            for (const auto& g : seg.groups)
                filled += g.empty() ? 0 : 1;
            allFour = allFour || filled == 4;
            someDerived = someDerived || filled < 4;
        }
    EXPECT_TRUE(allFour);
    EXPECT_TRUE(someDerived);
    for (int kind = 2; kind < 4; ++kind)
        for (const auto& seg : m_block.kinds[kind])
            EXPECT_TRUE(!seg.groups[0].empty() && !seg.groups[1].empty()) << "intro/outro " << int(seg.id);
}

TEST_P(ShippedStyles, HaveDrumsOnChannelTenAndAGuitarInRange)
{
    for (int kind = 0; kind < 2; ++kind)
        for (const auto& seg : m_block.kinds[kind]) {
            ASSERT_TRUE(seg.unpitched) << "segment " << int(seg.id) << " of kind " << kind;
            EXPECT_EQ(seg.unpitched->channel, 9);
            EXPECT_FALSE(seg.unpitched->notes.empty());
        }
    int guitarNotes = 0;
    for (const auto& kind : m_block.kinds)
        for (const auto& seg : kind)
            for (const auto& group : seg.groups)
                for (const auto& track : group)
                    if (track.program >= 24 && track.program <= 31)
                        for (const auto& n : track.notes) {
                            ++guitarNotes;
                            EXPECT_TRUE(n.pitch >= 40 && n.pitch <= 90) << int(n.pitch);
                        }
    EXPECT_GT(guitarNotes, 0);
}

TEST_P(ShippedStyles, AreBuiltIntoTheLibraryFolder)
{
    const std::string path = env("MELODRIFT_BIN_DIR") + "/styles/" + GetParam().stem + ".mds";
    const std::string built = readText(path);
    std::string why;
    auto file = melodrift::patbank::parseStyleFile({reinterpret_cast<const uint8_t*>(built.data()), built.size()}, &why);
    ASSERT_TRUE(file) << path << ": " << why;
    EXPECT_EQ(std::memcmp(&file->info, &m_style.info, sizeof m_style.info), 0);
    EXPECT_EQ(file->data, m_style.data);
}

INSTANTIATE_TEST_SUITE_P(Library, ShippedStyles,
                         ::testing::Values(Shipped{"pop-ballad", 0}, Shipped{"country-waltz", 1}),
                         [](const auto& param) {
                             std::string name = param.param.stem;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace
} // namespace stylec
