#include "Quantiser.h"

#include <gtest/gtest.h>

using pitchlore::NoteRecord;
using pitchlore::NoteRecords;
using pitchlore::Quantiser;

namespace {

constexpr float kRest = -1.0f;

std::vector<std::pair<float, int32_t>> flat(const NoteRecords& notes)
{
    std::vector<std::pair<float, int32_t>> out;
    for (const NoteRecord& n : notes)
        out.emplace_back(n.pitch, n.frames);
    return out;
}

TEST(Quantiser, RoundsToTheGridCarryingTheError)
{
    // Grid unit 5, bar 80 (4/4, 20 frames a beat).
    struct Case {
        const char* what;
        NoteRecords in;
        std::vector<std::pair<float, int32_t>> out;
        int32_t leadIn, bars;
    } cases[] = {
        {"exact", {{60, 40}, {62, 40}}, {{60, 40}, {62, 40}}, 0, 1},
        {"round up then carry down", {{60, 38}, {62, 42}}, {{60, 40}, {62, 40}}, 0, 1},
        {"round down then carry up", {{60, 42}, {62, 38}}, {{60, 40}, {62, 40}}, 0, 1},
        {"tiny note vanishes", {{60, 40}, {70, 1}, {62, 39}}, {{60, 40}, {62, 40}}, 0, 1},
        {"rests joined after a note vanishes",
         {{60, 40}, {kRest, 10}, {70, 1}, {kRest, 9}, {62, 20}},
         {{60, 40}, {kRest, 20}, {62, 20}},
         0,
         1},
        {"trailing rest dropped, bar padded", {{60, 30}, {62, 20}, {kRest, 200}}, {{60, 30}, {62, 20}, {kRest, 30}}, 0, 1},
        {"single note is not padded", {{60, 30}}, {{60, 30}}, 0, 1},
        {"only a rest", {{kRest, 100}}, {}, 1, 0},
        {"whole bars of lead-in", {{kRest, 170}, {60, 80}}, {{kRest, 10}, {60, 80}, {kRest, 70}}, 2, 2},
        {"note just before the bar line starts on it", {{kRest, 2 * 80 + 79}, {60, 81}, {62, 80}}, {{60, 80}, {62, 80}}, 3, 2},
    };
    for (auto& c : cases) {
        NoteRecords notes = c.in;
        auto layout = Quantiser(5, 80).quantise(notes);
        EXPECT_EQ(flat(notes), c.out) << c.what;
        EXPECT_EQ(layout.leadInBars, c.leadIn) << c.what;
        EXPECT_EQ(layout.barCount, c.bars) << c.what;
    }
}

TEST(Quantiser, AShortenedFirstNoteNeverGoesNegative)
{
    // The rest nearly fills the bar but the note after it is shorter than
    // the part that falls before the bar line.
    NoteRecords notes{{kRest, 77}, {60, 2}, {62, 40}};
    auto layout = Quantiser(10, 80).quantise(notes);
    EXPECT_EQ(layout.leadInBars, 1);
    EXPECT_EQ(flat(notes), (std::vector<std::pair<float, int32_t>>{{62, 40}}));
}

TEST(Quantiser, SplitsNotesTooLongForSixteenBits)
{
    struct Case {
        uint32_t unit, fpb;
        int32_t frames;
        int32_t piece;  // longest piece
    } cases[] = {
        {48, 192, 70000, 65520},   // ticks = frames; pieces of whole units
        {10, 40, 20000, 13650},    // 13653 frames are 65534 ticks; whole units
        {5, 4000, 70000, 65535 - 65535 % 5},  // frames themselves bound it
    };
    for (const Case& c : cases) {
        NoteRecords notes{{60, 100}, {kRest, c.frames}, {62, 100}};
        Quantiser::splitLongNotes(notes, c.unit, c.fpb);
        int64_t total = 0;
        int32_t longest = 0;
        for (const NoteRecord& n : notes) {
            total += n.frames;
            longest = std::max(longest, n.frames);
            EXPECT_LE(static_cast<int64_t>(n.frames) * 192 / c.fpb, 65535);
        }
        EXPECT_EQ(total, c.frames + 200) << "timing kept";
        EXPECT_EQ(longest, c.piece);
        EXPECT_EQ(notes.front().pitch, 60);
        EXPECT_EQ(notes.back().pitch, 62);
    }
}

}  // namespace
