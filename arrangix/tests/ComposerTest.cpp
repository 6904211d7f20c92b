#include "Composer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace melodrift::arrangix;
using namespace krvtest;

namespace {

// Eight 4/4 bars: sections 0..3 (pattern 0) and 4..7 (pattern 1), one chord a
// bar, a fill at bar 3.
struct Analysis {
    int calls = 0;
    int32_t lastKey = -99;
    int32_t result = 0;
    int32_t patterns[2] = {0, 1};
    int32_t fillVariant = 0;
    AnalyserAccess access()
    {
        AnalyserAccess a;
        a.melodyAnalysis = [this](int32_t key, int32_t* sc, SM_Section* s, int32_t* cc, SM_Chord* c, int32_t* fc,
                                  SM_Fill* f) {
            ++calls;
            lastKey = key;
            if (result != 0)
                return result;
            *sc = 2;
            s[0] = {3, patterns[0]};
            s[1] = {7, patterns[1]};
            const int codes[8] = {0, 37, 20, 28, 0, 37, 20, 30};
            *cc = 8;
            for (int i = 0; i < 8; ++i)
                c[i] = {codes[i], 1};
            *fc = 1;
            f[0] = {3, fillVariant};
            return 0;
        };
        a.inputMelody = [](const uint8_t*, const uint16_t*, int32_t n, int32_t, int32_t, int32_t, int32_t* bars) {
            *bars = n;
            return 0;
        };
        return a;
    }
};

struct World {
    FakeStore store;
    StyleCatalog catalog;
    Analysis analysis;
    int32_t tempo = -1;
    Composer composer;
    LogCapture log;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(200000);
    int32_t size = 200000;

    World() : catalog(), composer(catalog, analysis.access(), tempo)
    {
        store.add(1, smallStyle());
        Style other = smallStyle(0);
        other.tempo = 400000;
        store.add(2, other);
        catalog.setStore(store.access());
    }
    MidoView mido() { return readWithMido(buffer.data(), size_t(size)); }
};

struct Records {
    int32_t sectionCount = 0, chordCount = 0, fillCount = 0;
    SM_Section sections[16] = {};
    SM_Chord chords[32] = {};
    SM_Fill fills[16] = {};
};

int countOf(const MidoView& v, const std::string& name)
{
    for (size_t i = 0; i < v.names.size(); ++i)
        if (v.names[i] == name)
            return v.noteOns[i];
    return -1;
}

int lengthOf(const MidoView& v, const std::string& name)
{
    for (size_t i = 0; i < v.names.size(); ++i)
        if (v.names[i] == name)
            return v.lengths[i];
    return -1;
}

}  // namespace

TEST(Composer, BaseComposeAnalysesWhenRecordsAreMissing)
{
    World w;
    Records r;
    int32_t result = w.composer.baseCompose(5, &w.size, w.buffer.data(), &r.sectionCount, r.sections, &r.chordCount,
                                            r.chords, &r.fillCount, r.fills, 1);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(w.analysis.calls, 1);
    EXPECT_EQ(w.analysis.lastKey, 5);
    EXPECT_EQ(r.sectionCount, 2);
    EXPECT_EQ(r.chordCount, 8);
    EXPECT_TRUE(w.log.Contains("Construct return 0."));
    EXPECT_TRUE(w.log.Contains("ComposeStage return 0."));
    MidoView v = w.mido();
    ASSERT_TRUE(v.ok) << v.error;
    EXPECT_EQ(v.names.size(), 4u);
    EXPECT_EQ(countOf(v, "Acoustic Grand Piano"), 24);  // three notes a bar
    EXPECT_EQ(countOf(v, "Bass"), 7);                    // the fill has no bass
    EXPECT_EQ(countOf(v, "Drum"), 32);
    EXPECT_EQ(lengthOf(v, "Acoustic Grand Piano"), 8 * 768);
    EXPECT_EQ(v.names[1], "Drum");  // the unpitched part is laid first
}

TEST(Composer, BaseComposeKeepsTheCallersRecords)
{
    World w;
    Records r;
    r.sectionCount = 1;
    r.sections[0] = {1, 1};
    r.chordCount = 2;
    r.chords[0] = {0, 1};
    r.chords[1] = {9 * 4 + 1, 1};
    ASSERT_EQ(w.composer.baseCompose(0, &w.size, w.buffer.data(), &r.sectionCount, r.sections, &r.chordCount,
                                     r.chords, &r.fillCount, r.fills, 1),
              0);
    EXPECT_EQ(w.analysis.calls, 0);
    MidoView v = w.mido();
    ASSERT_TRUE(v.ok) << v.error;
    EXPECT_EQ(countOf(v, "Acoustic Grand Piano"), 6);
}

TEST(Composer, BaseComposeFailuresTable)
{
    struct Case {
        const char* what;
        int32_t analysisResult;
        int32_t style;
        int32_t capacity;
        int32_t expected;
        const char* logLine;
    } cases[] = {
        {"analysis fails", -1, 1, 200000, -1, nullptr},
        {"style unknown", 0, 77, 200000, -1, "Get style 77 error."},
        {"buffer of 25 bytes", 0, 1, 25, SM_E_BUFFER, "ComposeStage return -2147483646."},
        {"buffer short of the file", 0, 1, 300, SM_E_BUFFER, nullptr},
    };
    for (const Case& c : cases) {
        World w;
        w.analysis.result = c.analysisResult;
        w.size = c.capacity;
        Records r;
        EXPECT_EQ(w.composer.baseCompose(0, &w.size, w.buffer.data(), &r.sectionCount, r.sections, &r.chordCount,
                                         r.chords, &r.fillCount, r.fills, c.style),
                  c.expected)
            << c.what;
        EXPECT_LE(w.size, std::max(c.capacity, 0)) << c.what;
        if (c.logLine) {
            EXPECT_TRUE(w.log.Contains(c.logLine)) << c.what;
        }
    }
}

TEST(Composer, AnalysedRecordsAreFittedToTheStyleCallersAreNot)
{
    struct Case {
        const char* what;
        int32_t patterns[2];
        int32_t fillVariant;
        bool styleHasFills;
        int32_t fittedPatterns[2];
        int32_t fillCount;
        int32_t fittedVariant;
    } cases[] = {
        {"known ids stay", {0, 1}, 1, true, {0, 1}, 1, 1},
        {"patterns 2 and 3 of a two-pattern style", {2, 3}, 1, true, {0, 1}, 1, 1},
        {"fill variant the style lacks", {0, 1}, 5, true, {0, 1}, 1, 1},
        {"a style without fills gets none", {3, 0}, 1, false, {1, 0}, 0, 1},
    };
    for (const Case& c : cases) {
        World w;
        if (!c.styleHasFills) {
            Style s = smallStyle();
            s.kinds[1].clear();
            w.store.add(1, s);
        }
        w.analysis.patterns[0] = c.patterns[0];
        w.analysis.patterns[1] = c.patterns[1];
        w.analysis.fillVariant = c.fillVariant;
        Records r;
        ASSERT_EQ(w.composer.baseCompose(0, &w.size, w.buffer.data(), &r.sectionCount, r.sections, &r.chordCount,
                                         r.chords, &r.fillCount, r.fills, 1),
                  0)
            << c.what;
        EXPECT_EQ(r.sections[0].pattern, c.fittedPatterns[0]) << c.what;
        EXPECT_EQ(r.sections[1].pattern, c.fittedPatterns[1]) << c.what;
        EXPECT_EQ(r.fillCount, c.fillCount) << c.what;
        if (c.fillCount > 0) {
            EXPECT_EQ(r.fills[0].variant, c.fittedVariant) << c.what;
        }
        EXPECT_TRUE(w.mido().ok) << c.what;
    }
    // The same ids given by the caller are an error.
    World w;
    Records r;
    r.sectionCount = 1;
    r.sections[0] = {0, 3};
    r.chordCount = 1;
    r.chords[0] = {0, 1};
    EXPECT_EQ(w.composer.baseCompose(0, &w.size, w.buffer.data(), &r.sectionCount, r.sections, &r.chordCount,
                                     r.chords, &r.fillCount, r.fills, 1),
              SM_E_SEGMENT);
    r.sections[0] = {0, 0};
    r.fillCount = 1;
    r.fills[0] = {0, 9};
    EXPECT_EQ(w.composer.baseCompose(0, &w.size, w.buffer.data(), &r.sectionCount, r.sections, &r.chordCount,
                                     r.chords, &r.fillCount, r.fills, 1),
              SM_E_SEGMENT);
    EXPECT_EQ(r.fills[0].variant, 9);
}

TEST(Composer, RememberedTempoGoesIntoTheConductorTrack)
{
    World w;
    Records r;
    auto conductorTempo = [&] {
        w.size = int32_t(w.buffer.size());
        Records fresh;
        EXPECT_EQ(w.composer.baseCompose(0, &w.size, w.buffer.data(), &fresh.sectionCount, fresh.sections,
                                         &fresh.chordCount, fresh.chords, &fresh.fillCount, fresh.fills, 1),
                  0);
        EXPECT_TRUE(w.mido().ok);
        // MThd(14) + MTrk(8) + delta, FF 51 03
        const uint8_t* t = w.buffer.data() + 14 + 8 + 4;
        return (t[0] << 16) | (t[1] << 8) | t[2];
    };
    EXPECT_EQ(conductorTempo(), 500000);  // the style's own
    uint8_t pitches[2] = {60, 62};
    uint16_t lengths[2] = {192, 192};
    int32_t bars = 0;
    EXPECT_EQ(w.composer.inputWavNotes(pitches, lengths, 2, 192, 0, 90, &bars), 0);
    EXPECT_EQ(w.tempo, 90);
    EXPECT_EQ(conductorTempo(), 666667);
}

TEST(Composer, ComposeResultsTable)
{
    SM_Section sections[2] = {{3, 0}, {7, 1}};
    SM_Chord chords[8] = {{0, 1}, {37, 1}, {20, 1}, {28, 1}, {0, 1}, {37, 1}, {20, 1}, {30, 1}};
    SM_Stage stages[4] = {{256, 0}, {0, 0}, {1, 1}, {272, 0}};
    int32_t ids[4] = {1, 1, 2, 1};
    SM_Fill fills[1] = {{5, 1}};
    SM_Stage badSection[1] = {{2, 0}};
    SM_Stage badPattern[1] = {{0, 9}};
    SM_Stage badIntro[1] = {{260, 0}};
    int32_t negative[1] = {-1};
    int32_t unknown[1] = {55};
    struct Case {
        const char* what;
        int32_t sections, chords, stageCount;
        const SM_Stage* stageRecords;
        const int32_t* styleIds;
        int32_t expected;
        const char* logLine;
    } cases[] = {
        {"whole form", 2, 8, 4, stages, ids, 0, "Composer return 0."},
        {"no sections", 0, 8, 4, stages, ids, SM_E_PARAMS, "Invalid params."},
        {"no chords", 2, -1, 4, stages, ids, SM_E_PARAMS, "Invalid params."},
        {"no stages", 2, 8, 0, stages, ids, SM_E_PARAMS, "Invalid params."},
        {"negative first style", 2, 8, 1, stages, negative, -1, "Ivalid style ID!."},
        {"unknown first style", 2, 8, 1, stages, unknown, -1, nullptr},
        {"section past the count", 2, 8, 1, badSection, ids, SM_E_RECORD, "Composer return -2147483638."},
        {"unknown pattern", 2, 8, 1, badPattern, ids, SM_E_SEGMENT, "Composer return -2147483639."},
        {"unknown intro", 2, 8, 1, badIntro, ids, SM_E_SEGMENT, nullptr},
    };
    for (const Case& c : cases) {
        World w;
        EXPECT_EQ(w.composer.compose(0, &w.size, w.buffer.data(), c.sections, sections, c.chords, chords, c.stageCount,
                                     c.stageRecords, c.styleIds, 1, fills),
                  c.expected)
            << c.what;
        if (c.logLine) {
            EXPECT_TRUE(w.log.Contains(c.logLine)) << c.what;
        }
        if (c.expected == 0) {
            EXPECT_TRUE(w.log.Contains("Composer at tempo -1."));
            MidoView v = w.mido();
            ASSERT_TRUE(v.ok) << v.error;
            // intro 2 bars + 8 bars (the second section in style 2) + outro 1 bar
            EXPECT_EQ(countOf(v, "Acoustic Grand Piano"), 3 * (2 + 8 + 1));
        }
    }
}

TEST(Composer, DemonstrationsTable)
{
    struct Case {
        const char* what;
        int32_t type, segment, key, mode;
        int32_t expected;
        int pianoNotes;
    } cases[] = {
        {"full tour: per main pattern three bars and a fill bar", -1, 0, 0, 0, 0, 3 * 4 * 2},
        {"type 3 is the full tour too", 3, 0, 2, 1, 0, 3 * 4 * 2},
        {"main pattern 1", 0, 1, 4, 0, 0, 3 * 4},
        {"intro 0 (two bars inside four)", 1, 0, 7, 1, 0, 3 * 2},
        {"outro 0", 2, 0, 30, 9, 0, 3},
        {"unknown main pattern", 0, 5, 0, 0, SM_E_SEGMENT, -1},
        {"unknown intro", 1, 3, 0, 0, SM_E_SEGMENT, -1},
        {"segment id beyond a byte", 0, 256, 0, 0, SM_E_SEGMENT, -1},
    };
    for (const Case& c : cases) {
        World w;
        w.composer.setClock([] { return int64_t(1234567); });
        EXPECT_EQ(w.composer.styleDemo(&w.size, w.buffer.data(), 1, c.type, c.segment, c.key, c.mode), c.expected)
            << c.what;
        EXPECT_FALSE(w.log.Contains("Construct return")) << c.what;
        if (c.expected != 0)
            continue;
        MidoView v = w.mido();
        ASSERT_TRUE(v.ok) << v.error;
        EXPECT_EQ(countOf(v, "Acoustic Grand Piano"), c.pianoNotes) << c.what;
    }
    World w;
    EXPECT_EQ(w.composer.styleDemo(&w.size, w.buffer.data(), 99, 0, 0, 0, 0), -1);
}

TEST(Composer, SegmentDataTable)
{
    struct Case {
        int32_t code;
        int32_t expected;
        int pianoNotes;
        int length;
    } cases[] = {
        {-1, 0, 3 * (4 + 4 + 2 + 1), 11 * 768},
        {0, 0, 12, 4 * 768},
        {1, 0, 12, 4 * 768},
        {2, SM_E_SEGMENT, 0, 0},
        {256, 0, 6, 2 * 768},
        {257, SM_E_SEGMENT, 0, 0},
        {272, 0, 3, 768},
    };
    for (const Case& c : cases) {
        World w;
        EXPECT_EQ(w.composer.styleDemoData(&w.size, w.buffer.data(), c.code, 1), c.expected) << c.code;
        if (c.expected != 0)
            continue;
        MidoView v = w.mido();
        ASSERT_TRUE(v.ok) << v.error;
        EXPECT_EQ(countOf(v, "Acoustic Grand Piano"), c.pianoNotes) << c.code;
        EXPECT_EQ(lengthOf(v, "Acoustic Grand Piano"), c.length) << c.code;
    }
}
