#include "ArrangementPlanner.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace melodrift::arrangix;

namespace {

// Styles for planning need only segment lengths.
std::shared_ptr<DecodedStyle> lengthsStyle(int32_t id, uint8_t metre, std::map<std::pair<int, int>, int> bars)
{
    auto s = std::make_shared<DecodedStyle>();
    s->id = id;
    s->metre = metre;
    for (auto [key, n] : bars) {
        StyleSegment seg;
        seg.id = static_cast<uint8_t>(key.second);
        seg.length = n * s->barLength();
        s->segments[key.first].push_back(std::move(seg));
    }
    return s;
}

class MapSource : public StyleSource {
public:
    std::map<int32_t, std::shared_ptr<DecodedStyle>> styles;
    std::shared_ptr<DecodedStyle> style(int32_t id, bool) override
    {
        auto it = styles.find(id);
        return it == styles.end() ? nullptr : it->second;
    }
};

const char* kKinds = "MFIO";

std::string describe(const Plan& plan)
{
    std::ostringstream o;
    for (size_t i = 0; i < plan.size(); ++i) {
        const Block& b = plan[i];
        if (i)
            o << " | ";
        o << kKinds[b.kind] << int(b.id) << " " << b.duration;
        if (b.kind >= 2)
            o << " @" << int(b.keyRoot) << (b.minor == 1 ? "m" : "");
        if (!b.chords.empty()) {
            o << " [";
            for (size_t j = 0; j < b.chords.size(); ++j)
                o << (j ? " " : "") << int(b.chords[j].root) << "." << int(b.chords[j].type) << "x"
                  << b.chords[j].duration;
            o << "]";
        }
    }
    return o.str();
}

SM_Chord whole(int root, int type = 0) { return SM_Chord{root * 4 + type, 1}; }
SM_Chord half(int root, int type = 0) { return SM_Chord{root * 4 + type, 0}; }

struct Case {
    const char* what;
    int32_t key;
    std::vector<SM_Section> sections;
    std::vector<SM_Chord> chords;
    std::vector<SM_Stage> stages;
    std::vector<SM_Fill> fills;
    std::string expected;
};

std::string planOf(const Case& c, MapSource& source, const std::shared_ptr<DecodedStyle>& style, int32_t* result = nullptr)
{
    std::vector<int32_t> ids(c.stages.size(), style->id);
    PlanInput in{c.key, c.sections, c.chords, c.stages, ids, c.fills};
    Plan plan;
    int32_t r = ArrangementPlanner(source, style).plan(in, plan);
    if (result)
        *result = r;
    return describe(plan);
}

}  // namespace

TEST(ArrangementPlanner, BlocksForChordsSectionsFillsAndStagesTable)
{
    MapSource source;
    // 4/4: main 0 of 4 bars, main 1 of 8 bars, fills 0 and 1, intros 0 (2 bars) and 1 (1 bar), outro 0 (1 bar).
    auto style = lengthsStyle(1, 0, {{{0, 0}, 4}, {{0, 1}, 8}, {{1, 0}, 1}, {{1, 1}, 1}, {{2, 0}, 2}, {{2, 1}, 1}, {{3, 0}, 1}});
    source.styles[1] = style;
    const std::vector<SM_Chord> eightBars = {whole(0), whole(9, 1), whole(5), whole(7),
                                             whole(0), whole(9, 1), whole(5), whole(7, 2)};
    std::vector<SM_Chord> tenC(10, whole(0));
    tenC[4] = whole(5);
    Case cases[] = {
        {"half-bar C and C merge into one whole-bar item", 0, {{0, 0}}, {half(0), half(0)}, {{0, 0}}, {},
         "M0 768 [0.0x768]"},
        {"ten bars on a four-bar pattern: 4, 4 and 2 bars", 0, {{9, 0}}, tenC, {{0, 0}}, {},
         "M0 3072 [0.0x3072] | M0 3072 [5.0x768 0.0x2304] | M0 1536 [0.0x1536]"},
        {"fill at bar 4 splits an eight-bar pattern", 0, {{7, 1}}, eightBars, {{0, 1}}, {{4, 1}},
         "M1 3072 [0.0x768 9.1x768 5.0x768 7.0x768] | F1 768 [0.0x768] | M1 2304 [9.1x768 5.0x768 7.2x768]"},
        {"fill on the first bar", 0, {{7, 1}}, eightBars, {{0, 1}}, {{0, 0}},
         "F0 768 [0.0x768] | M1 5376 [9.1x768 5.0x768 7.0x768 0.0x768 9.1x768 5.0x768 7.2x768]"},
        {"fill on the section's last bar stays the stage's block", 0, {{7, 1}}, eightBars, {{0, 1}}, {{7, 0}},
         "M1 5376 [0.0x768 9.1x768 5.0x768 7.0x768 0.0x768 9.1x768 5.0x768] | F0 768 [7.2x768]"},
        {"a fill stepped over is lost with every later one", 0, {{2, 1}}, {half(0), whole(5), half(7), whole(0)},
         {{0, 1}}, {{1, 0}, {2, 0}},
         "M1 2304 [0.0x384 5.0x768 7.0x384 0.0x768]"},
        {"fills count bars over the whole plan", 0, {{1, 1}, {3, 1}}, {whole(0), whole(7), whole(5), whole(7)},
         {{256, 0}, {0, 1}, {1, 1}}, {{3, 1}},
         "I0 1536 @0 | M1 768 [0.0x768] | F1 768 [7.0x768] | M1 1536 [5.0x768 7.0x768]"},
        {"intro turns to the relative minor of a minor section", 0, {{1, 0}}, {whole(9, 1), whole(4)},
         {{256, 0}, {0, 0}}, {}, "I0 1536 @9m | M0 1536 [9.1x768 4.0x768]"},
        {"outro after a minor chord plays in the relative minor", 0, {{1, 0}}, {whole(0), whole(9, 1)},
         {{0, 0}, {272, 0}}, {}, "M0 1536 [0.0x768 9.1x768] | O0 768 @9m"},
        {"intro in A major before an A minor section moves to F# minor", 9, {{0, 0}}, {whole(9, 1)},
         {{256, 0}, {0, 0}, {272, 0}}, {}, "I0 1536 @6m | M0 768 [9.1x768] | O0 768 @6m"},
        {"leading intros all take the last one's key", 2, {{0, 0}}, {whole(11, 1)},
         {{256, 0}, {257, 0}, {0, 0}}, {}, "I0 1536 @11m | I1 768 @11m | M0 768 [11.1x768]"},
        {"unknown key counts as C", -1, {{0, 0}}, {whole(0)}, {{256, 0}, {0, 0}}, {}, "I0 1536 @0 | M0 768 [0.0x768]"},
        {"chords beyond a section go to the next; leftovers unused", 0, {{0, 0}, {1, 1}},
         {whole(0), whole(5), whole(7), whole(9)}, {{1, 1}, {0, 0}}, {},
         "M1 768 [5.0x768] | M0 768 [0.0x768]"},
        {"a missing pattern closes the block after every chord", 0, {{1, 3}}, {whole(0), whole(0)}, {{0, 3}}, {},
         "M3 768 [0.0x768] | M3 768 [0.0x768]"},
        {"a section repeated in the form", 0, {{0, 0}}, {whole(2, 1)}, {{0, 0}, {0, 1}}, {},
         "M0 768 [2.1x768] | M1 768 [2.1x768]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(planOf(c, source, style), c.expected) << c.what;
}

TEST(ArrangementPlanner, BarLengthFollowsTheMetre)
{
    MapSource source;
    auto style = lengthsStyle(1, 3, {{{0, 0}, 2}, {{3, 0}, 1}});
    source.styles[1] = style;
    Case c{"6/8", 0, {{2, 0}}, {whole(0), half(5), half(7), whole(0)}, {{0, 0}, {272, 0}}, {},
           "M0 1152 [0.0x576 5.0x288 7.0x288] | M0 576 [0.0x576] | O0 576 @0"};
    EXPECT_EQ(planOf(c, source, style), c.expected);
}

TEST(ArrangementPlanner, StageInAnotherStyleUsesThatStylesLengths)
{
    MapSource source;
    auto first = lengthsStyle(1, 0, {{{0, 0}, 4}, {{2, 0}, 2}});
    auto second = lengthsStyle(2, 0, {{{0, 0}, 1}, {{2, 0}, 3}});
    source.styles[1] = first;
    source.styles[2] = second;
    std::vector<SM_Section> sections = {{1, 0}};
    std::vector<SM_Chord> chords = {whole(0), whole(7)};
    std::vector<SM_Stage> stages = {{256, 0}, {0, 0}, {0, 0}};
    std::vector<int32_t> ids = {2, 2, 1};
    PlanInput in{0, sections, chords, stages, ids, {}};
    Plan plan;
    ASSERT_EQ(ArrangementPlanner(source, first).plan(in, plan), 0);
    EXPECT_EQ(describe(plan), "I0 2304 @0 | M0 768 [0.0x768] | M0 768 [7.0x768] | M0 1536 [0.0x768 7.0x768]");
    EXPECT_EQ(plan[0].styleId, 2);
    EXPECT_EQ(plan[3].styleId, 1);
}

TEST(ArrangementPlanner, RejectsRecordsThatPointNowhere)
{
    MapSource source;
    auto style = lengthsStyle(1, 0, {{{0, 0}, 4}});
    source.styles[1] = style;
    Case cases[] = {
        {"stage past the section count", 0, {{0, 0}}, {whole(0)}, {{1, 0}}, {}, ""},
        {"negative stage reference", 0, {{0, 0}}, {whole(0)}, {{-1, 0}}, {}, ""},
        {"chord code 48", 0, {{0, 0}}, {SM_Chord{48, 1}}, {{0, 0}}, {}, ""},
        {"chord code -1", 0, {{0, 0}}, {SM_Chord{-1, 1}}, {{0, 0}}, {}, ""},
        {"pattern id beyond a byte", 0, {{0, 0}}, {whole(0)}, {{0, 256}}, {}, ""},
        {"fill variant beyond a byte", 0, {{0, 0}}, {whole(0)}, {{0, 0}}, {{0, 300}}, ""},
        {"outro id beyond a byte", 0, {{0, 0}}, {whole(0)}, {{272 + 256, 0}}, {}, ""},
    };
    for (const Case& c : cases) {
        int32_t r = 0;
        EXPECT_EQ(planOf(c, source, style, &r), "") << c.what;
        EXPECT_EQ(r, SM_E_RECORD) << c.what;
    }
}
