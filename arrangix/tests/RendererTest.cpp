#include "Arrangix.h"
#include "Renderer.h"
#include "Voicing.h"
#include "StyleDecoder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <tuple>

using namespace melodrift::arrangix;
using namespace krvtest;

namespace {

class MapSource : public StyleSource {
public:
    std::map<int32_t, std::shared_ptr<DecodedStyle>> styles;
    std::shared_ptr<DecodedStyle> style(int32_t id, bool) override
    {
        auto it = styles.find(id);
        return it == styles.end() ? nullptr : it->second;
    }
};

using Ev = std::tuple<int32_t, int, int>;  // tick, pitch, velocity

std::vector<Ev> eventsOf(const OutputTrack& t)
{
    std::vector<Ev> out;
    for (const OutputSlice& s : t.slices)
        for (const OutputNote& n : s.notes)
            out.emplace_back(s.start, n.pitch, n.velocity);
    return out;
}

std::vector<int> onPitches(const OutputTrack& t)
{
    std::vector<int> out;
    for (auto [tick, pitch, vel] : eventsOf(t))
        if (vel > 0)
            out.push_back(pitch);
    return out;
}

const OutputTrack* channel(const Renderer& r, uint8_t ch)
{
    for (const OutputTrack& t : r.tracks())
        if (t.channel == ch)
            return &t;
    return nullptr;
}

Block mainBlock(uint8_t id, std::vector<ChordItem> chords, uint8_t kind = kMain)
{
    Block b;
    b.styleId = 1;
    b.kind = kind;
    b.id = id;
    for (const ChordItem& c : chords)
        b.duration += c.duration;
    b.chords = std::move(chords);
    return b;
}

struct Fixture {
    MapSource source;
    std::shared_ptr<DecodedStyle> style;
    explicit Fixture(const Style& s)
    {
        auto r = StyleDecoder::parse(krv(s), 1);
        EXPECT_EQ(r.error, 0);
        style = r.style;
        source.styles[1] = style;
    }
    Renderer renderer() { return Renderer(source, style, -1); }
};

Track oneTrack(uint8_t ch, uint8_t program, uint32_t length, std::function<void(Events&)> notes)
{
    Events e;
    if (program != 0xFF)
        e.program(0, ch, program);
    notes(e);
    return Track{uint16_t(length), e.end(length)};
}

Style styleWithMain(std::vector<std::vector<Track>> groups, std::optional<Track> unpitched = {})
{
    Style s;
    s.kinds[0].push_back(Segment{0, std::move(groups), std::move(unpitched)});
    return s;
}

}  // namespace

TEST(Renderer, FourBarPatternCyclesUnderOneBarChords)
{
    // Bar b of the pattern plays 60 + b on an instrument without register rules.
    Fixture f(styleWithMain({{oneTrack(0, 60, 4 * 768, [](Events& e) {
        for (uint32_t b = 0; b < 4; ++b)
            e.note(b * 768, b * 768 + 384, 0, uint8_t(60 + b));
    })}}));
    Renderer r = f.renderer();
    std::vector<ChordItem> chords(6, ChordItem{768, kMajor, 0});
    ASSERT_EQ(r.renderBlocks({mainBlock(0, chords)}), 0);
    const OutputTrack* t = channel(r, 0);
    ASSERT_NE(t, nullptr);
    std::vector<Ev> expected;
    for (int i = 0; i < 6; ++i) {
        expected.emplace_back(i * 768, 60 + i % 4, 100);
        expected.emplace_back(i * 768 + 384, 60 + i % 4, 0);
    }
    EXPECT_EQ(eventsOf(*t), expected);
    EXPECT_EQ(t->length, 6 * 768);
}

TEST(Renderer, ChordTonesBassAndDrumsUnderChordsTable)
{
    auto piano = [](uint8_t third) {
        return oneTrack(0, 0, 768, [=](Events& e) {
            e.note(0, 384, 0, 60).note(0, 384, 0, third).note(0, 384, 0, 67).note(0, 384, 0, 62);
        });
    };
    auto bass = oneTrack(8, 33, 768, [](Events& e) { e.note(0, 384, 8, 36); });
    auto drums = oneTrack(9, 0xFF, 768, [](Events& e) { e.note(0, 96, 9, 36).note(96, 192, 9, 42); });
    Fixture f(styleWithMain({{piano(64), bass, drums}, {piano(63), bass, drums}}));
    struct Case {
        const char* what;
        ChordItem chord;
        std::vector<int> piano, bass, drums;
    } cases[] = {
        {"C major leaves everything", {768, kMajor, 0}, {60, 64, 67, 62}, {36}, {36, 42}},
        {"D major: chord tones by the table, 62 moved by the root", {768, kMajor, 2}, {62, 66, 69, 64}, {38}, {36, 42}},
        {"A minor from the minor group: 63 becomes 64", {768, kMinor, 9}, {60, 64, 69, 59}, {33}, {36, 42}},
        {"G major: bass C2 down to 31", {768, kMajor, 7}, {59, 62, 67, 57}, {31}, {36, 42}},
        {"G7 derived from major: G B D F", {768, kDominant7, 7}, {62, 65, 71, 57}, {31}, {36, 42}},
        {"minor seventh derived from the minor group", {768, kMinor7, 2}, {60, 62, 69, 64}, {38}, {36, 42}},
    };
    for (const Case& c : cases) {
        Renderer r = f.renderer();
        ASSERT_EQ(r.renderBlocks({mainBlock(0, {c.chord})}), 0) << c.what;
        EXPECT_EQ(onPitches(*channel(r, 0)), c.piano) << c.what;
        EXPECT_EQ(onPitches(*channel(r, 8)), c.bass) << c.what;
        EXPECT_EQ(onPitches(*channel(r, 9)), c.drums) << c.what;
    }
}

TEST(Renderer, HeldNotesAcrossAChangeFromCToFTable)
{
    // Strings (chord-tested everywhere) over two bars of C then F. Under F, C
    // stays C (its fifth) while E becomes F.
    struct Note {
        uint32_t from, to;
        uint8_t pitch;
    };
    struct Case {
        const char* what;
        std::vector<Note> notes;
        std::multiset<Ev> expected;
    } cases[] = {
        {"same fitted pitch keeps sounding", {{0, 1536, 60}}, {{0, 60, 100}, {1536, 60, 0}}},
        {"changed pitch is cut and restarted", {{0, 1536, 64}}, {{0, 64, 100}, {768, 64, 0}, {768, 65, 100}, {1536, 65, 0}}},
        {"both at once", {{0, 1536, 60}, {0, 1536, 64}},
         {{0, 60, 100}, {1536, 60, 0}, {0, 64, 100}, {768, 64, 0}, {768, 65, 100}, {1536, 65, 0}}},
        {"starting just before the change takes the next chord's pitch", {{720, 1536, 64}}, {{720, 65, 100}, {1536, 65, 0}}},
        {"a short overhang is not restarted", {{0, 800, 64}}, {{0, 64, 100}, {800, 64, 0}}},
    };
    for (const Case& c : cases) {
        Fixture f(styleWithMain({{oneTrack(1, 48, 2 * 768, [&](Events& e) {
            for (const Note& n : c.notes)
                e.note(n.from, n.to, 1, n.pitch);
        })}}));
        Renderer r = f.renderer();
        ASSERT_EQ(r.renderBlocks({mainBlock(0, {{768, kMajor, 0}, {768, kMajor, 5}})}), 0) << c.what;
        const OutputTrack* t = channel(r, 1);
        ASSERT_NE(t, nullptr) << c.what;
        std::multiset<Ev> got;
        for (const Ev& e : eventsOf(*t))
            got.insert(e);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST(Renderer, NotesEndingInsideTheirChordAreNotReplayed)
{
    Fixture f(styleWithMain({{oneTrack(1, 48, 2 * 768, [](Events& e) {
        e.note(0, 1536, 1, 64).note(768, 1152, 1, 67);
    })}}));
    Renderer r = f.renderer();
    ASSERT_EQ(r.renderBlocks({mainBlock(0, {{768, kMajor, 0}, {768, kMinor, 9}})}), 0);
    std::multiset<Ev> got;
    for (const Ev& e : eventsOf(*channel(r, 1)))
        got.insert(e);
    // E: 64 under C, 64 under A minor (its fifth): one note. G (placed by the
    // pattern itself) goes to 69 under A minor.
    std::multiset<Ev> expected = {{0, 64, 100}, {1536, 64, 0}, {768, 69, 100}, {1152, 69, 0}};
    EXPECT_EQ(got, expected);
}

TEST(Renderer, IntroMovesToTheBlockKeyFromTheModesGroup)
{
    Style s;
    auto part = [](uint8_t pitch) {
        return oneTrack(0, 0, 2 * 768, [=](Events& e) { e.note(0, 768, 0, pitch).note(768, 1536, 0, 48); });
    };
    s.kinds[2].push_back(Segment{0, {{part(64)}, {part(63)}}, {}});
    Fixture f(s);
    struct Case {
        uint8_t root, minor;
        std::vector<int> pitches;
    } cases[] = {{0, 0, {64, 48}}, {9, 1, {60, 45}}, {2, 0, {66, 50}}, {7, 0, {59, 43}}};
    for (const Case& c : cases) {
        Block b;
        b.styleId = 1;
        b.kind = kIntro;
        b.duration = 2 * 768;
        b.keyRoot = c.root;
        b.minor = c.minor;
        Renderer r = f.renderer();
        ASSERT_EQ(r.renderBlocks({b}), 0);
        EXPECT_EQ(onPitches(*channel(r, 0)), c.pitches) << int(c.root);
    }
}

TEST(Renderer, UnpitchedPartRepeatsWithinTheBlockOnly)
{
    auto drums = oneTrack(9, 0xFF, 4 * 768, [](Events& e) {
        for (uint32_t beat = 0; beat < 16; ++beat)
            e.note(beat * 192, beat * 192 + 48, 9, 36);
    });
    Fixture f(styleWithMain({}, drums));
    Renderer r = f.renderer();
    ASSERT_EQ(r.renderBlocks({mainBlock(0, {{6 * 768, kMajor, 0}})}), 0);
    const OutputTrack* t = channel(r, 9);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(onPitches(*t).size(), 24u);
    EXPECT_LE(std::get<0>(eventsOf(*t).back()), 6 * 768);
    EXPECT_EQ(t->length, 6 * 768);
}

TEST(Renderer, MissingStyleOrSegmentFailsTheRender)
{
    Fixture f(smallStyle());
    struct Case {
        const char* what;
        Block block;
    } cases[] = {
        {"unknown main id", mainBlock(7, {{768, 0, 0}})},
        {"unknown fill id", mainBlock(5, {{768, 0, 0}}, kFill)},
        {"unknown style", [] { Block b = mainBlock(0, {{768, 0, 0}}); b.styleId = 99; return b; }()},
    };
    for (const Case& c : cases) {
        Renderer r = f.renderer();
        std::vector<uint8_t> buf(10000, 0xEE);
        int32_t size = int32_t(buf.size());
        EXPECT_EQ(r.render({mainBlock(0, {{768, 0, 0}}), c.block}, buf.data(), &size), SM_E_SEGMENT) << c.what;
        EXPECT_EQ(size, 0) << c.what;
        EXPECT_EQ(buf[0], 0xEE) << c.what;
    }
}

TEST(Renderer, TwoTracksOnOneChannelKeepTheirTicks)
{
    auto a = oneTrack(2, 60, 768, [](Events& e) { e.note(0, 384, 2, 70).note(384, 768, 2, 71); });
    auto b = oneTrack(2, 60, 768, [](Events& e) { e.note(192, 576, 2, 80); });
    Fixture f(styleWithMain({{a, b}}));
    Renderer r = f.renderer();
    ASSERT_EQ(r.renderBlocks({mainBlock(0, {{768, 0, 0}})}), 0);
    const OutputTrack* t = channel(r, 2);
    int32_t previous = -1;
    for (const OutputSlice& s : t->slices) {
        EXPECT_GT(s.start, previous);
        previous = s.start;
    }
    std::vector<Ev> expected = {{0, 70, 100}, {192, 80, 100}, {384, 70, 0}, {384, 71, 100}, {576, 80, 0}, {768, 71, 0}};
    EXPECT_EQ(eventsOf(*t), expected);
}
