// Downloaded data is checked the way the composer will read it.
#include <gtest/gtest.h>

#include "TestStyles.h"
#include "core/StyleDataCheck.h"

namespace melodrift::patbank {
namespace {

std::vector<uint8_t> blockOfSize(size_t size)
{
    std::vector<uint8_t> block(size, 0);
    const uint8_t head[] = {'K', 'R', 'V', 1};
    std::copy(std::begin(head), std::end(head), block.begin());
    const uint32_t body = static_cast<uint32_t>(size - 8);
    for (int i = 0; i < 4; ++i)
        block[4 + i] = static_cast<uint8_t>(body >> (24 - 8 * i));
    return block;
}

TEST(StyleDataCheck, TakesStreamsUpToTheComposersBufferAndNoMore)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> stream;
        bool ok;
        const char* why;
    };
    auto trailing = test::makeStream(1);
    trailing.push_back(0);
    auto lying = test::makeBlock(1);
    lying[7] = 13; // body one byte longer than the block
    auto truncated = test::makeStream(1);
    truncated.resize(truncated.size() - 2);
    const Case cases[] = {
        {"small block", test::makeStream(1), true, ""},
        {"exactly the limit", test::zlibOf(blockOfSize(SF_DATA_MAX)), true, ""},
        {"one byte over", test::zlibOf(blockOfSize(SF_DATA_MAX + 1)), false, "inflates beyond the limit"},
        {"empty", {}, false, "empty or oversized stream"},
        {"not zlib", {0x12, 0x34, 0x56}, false, "broken zlib stream"},
        {"cut short", truncated, false, "broken zlib stream"},
        {"bytes after the stream", trailing, false, "bytes after the zlib stream"},
        {"wrong magic", test::zlibOf({'K', 'R', 'X', 1, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0}), false, "no KRV block"},
        {"shorter than a header", test::zlibOf({'K', 'R', 'V'}), false, "no KRV block"},
        {"body beyond the block", test::zlibOf(lying), false, "body length beyond the block"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_EQ(checkStyleData(c.stream, &why), c.ok) << c.what;
        EXPECT_EQ(why, c.why) << c.what;
    }
}

} // namespace
} // namespace melodrift::patbank
