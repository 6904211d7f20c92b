// What the compiler writes, decoded by the style composer's own decoder: the
// composer must see every segment, track and note the source holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <tuple>

#include "KrvTestReader.h"
#include "StyleBuilder.h"
#include "StyleDecoder.h"
#include "StyleSourceParser.h"

namespace {

using NoteKey = std::tuple<int32_t, int32_t, int>; // start, end, pitch

std::vector<NoteKey> composerNotes(const melodrift::arrangix::PatternTrack& t)
{
    std::vector<NoteKey> out;
    for (const auto& n : t.notes)
        if (n.velocity > 0)
            out.emplace_back(n.start, n.end, n.pitch);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<NoteKey> writtenNotes(const krvtest::Track& t)
{
    std::vector<NoteKey> out;
    for (const auto& n : t.notes)
        out.emplace_back(static_cast<int32_t>(n.start), static_cast<int32_t>(n.end), n.pitch);
    std::sort(out.begin(), out.end());
    return out;
}

void compareTrack(const melodrift::arrangix::PatternTrack& got, const krvtest::Track& want, const std::string& where)
{
    EXPECT_EQ(got.channel, want.channel) << where;
    EXPECT_EQ(got.program, want.program < 0 ? 0xFF : want.program) << where;
    EXPECT_EQ(got.length, want.length) << where;
    EXPECT_EQ(composerNotes(got), writtenNotes(want)) << where;
}

class ComposerRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(ComposerRoundTrip, DecodesEverySegmentTrackAndNote)
{
    std::ifstream in(std::string(STYLES_SOURCE_ROOT) + "/styles/sources/" + GetParam() + ".style");
    std::ostringstream text;
    text << in.rdbuf();
    auto parsed = stylec::parseStyleSource(text.str());
    ASSERT_TRUE(parsed.style);
    const auto compiled = stylec::compileStyle(*parsed.style);
    krvtest::Reader reader(compiled.block);
    const auto written = reader.block();
    ASSERT_TRUE(written) << reader.error();

    const auto decoded = melodrift::arrangix::StyleDecoder::decode(compiled.data, compiled.info.id);
    ASSERT_EQ(decoded.error, 0);
    ASSERT_TRUE(decoded.style);
    const auto& style = *decoded.style;
    EXPECT_EQ(style.metre, written->metre);
    EXPECT_EQ(style.tempo, static_cast<int32_t>(written->tempo));
    for (int kind = 0; kind < 4; ++kind) {
        ASSERT_EQ(style.segments[kind].size(), written->kinds[kind].size()) << "kind " << kind;
        for (size_t s = 0; s < written->kinds[kind].size(); ++s) {
            const auto& got = style.segments[kind][s];
            const auto& want = written->kinds[kind][s];
            const std::string where = "kind " + std::to_string(kind) + " segment " + std::to_string(want.id);
            EXPECT_EQ(got.id, want.id) << where;
            int32_t longest = 0;
            for (size_t g = 0; g < want.groups.size(); ++g) {
                ASSERT_EQ(got.groups[g].size(), want.groups[g].size()) << where << " group " << g;
                for (size_t t = 0; t < want.groups[g].size(); ++t) {
                    compareTrack(got.groups[g][t], want.groups[g][t], where + " group " + std::to_string(g));
                    longest = std::max<int32_t>(longest, want.groups[g][t].length);
                }
            }
            ASSERT_EQ(got.unpitched.has_value(), want.unpitched.has_value()) << where;
            if (want.unpitched) {
                compareTrack(*got.unpitched, *want.unpitched, where + " drums");
                longest = std::max<int32_t>(longest, want.unpitched->length);
            }
            EXPECT_EQ(got.length, longest) << where;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Library, ComposerRoundTrip, ::testing::Values("pop-ballad", "country-waltz"),
                         [](const auto& param) {
                             std::string name = param.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace
