#include "LogLines.h"
#include "MelodyFixture.h"

#include "MelodriftPlatform.h"

#include <string>

using testsignal::KeyFinder;
using testsignal::MelodyFixture;
using testsignal::Notes;

namespace {

constexpr int R = 128;

using MelodyAnalysis = MelodyFixture;

TEST_F(MelodyAnalysis, StepsBecomeNotesOnTheGrid)
{
    track.rest(kBeat).note(60, 2 * kBeat).note(62, kBeat).note(64, kBeat).rest(kBeat).note(65, 3 * kBeat).rest(kBeat);
    auto r = analyser.analyseMelody(0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->pitched, 4);
    EXPECT_EQ(r->leadInBars, 0);
    EXPECT_EQ(r->barCount, 3);
    EXPECT_EQ(melody(), (Notes{{R, 192}, {60, 384}, {62, 192}, {64, 192}, {R, 192}, {65, 576}, {R, 576}}));
}

TEST_F(MelodyAnalysis, RepairsOctaveErrorsAndDropouts)
{
    struct Case {
        const char* what;
        double oddPitch;  // one frame in the middle of a long note of 67
    } cases[] = {{"octave up", 79}, {"octave down", 55}, {"two octaves up", 91}, {"dropout", -1}};
    for (const Case& c : cases) {
        ASSERT_TRUE(analyser.reset(120, 0, 2048, kFPB));
        testsignal::TrackBuilder b(analyser);
        b.note(67, 2 * kBeat + 3).frame(c.oddPitch, c.oddPitch < 0 ? 0 : 1).note(67, 2 * kBeat - 4).rest(kBeat);
        ASSERT_TRUE(analyser.analyseMelody(0)) << c.what;
        EXPECT_EQ(melody(), (Notes{{67, 768}})) << c.what;
        EXPECT_NEAR(analyser.tracks().pitch()[2 * kBeat + 3], 67, 1e-9) << c.what << ": repaired in the track";
    }
}

TEST_F(MelodyAnalysis, FillsADropoutWithTheMeanOfItsNeighbours)
{
    track.note(60, kBeat).note(60.5, 10).frame(-1, 0).note(61, 10).note(62, 2 * kBeat).rest(kBeat);
    ASSERT_TRUE(analyser.analyseMelody(0));
    EXPECT_DOUBLE_EQ(analyser.tracks().pitch()[kBeat + 10], (60.5 + 61) / 2);
}

TEST_F(MelodyAnalysis, AnUnexplainedJumpEndsTheRun)
{
    // 60 to 74 is no octave: the run ends and both frames turn unvoiced,
    // which leaves a short rest before the second note.
    track.note(60, 2 * kBeat).note(74, 2 * kBeat).rest(kBeat);
    ASSERT_TRUE(analyser.analyseMelody(0));
    EXPECT_EQ(analyser.tracks().pitch()[2 * kBeat], -1.0);
    EXPECT_EQ(analyser.tracks().pitch()[2 * kBeat + 1], -1.0);
    EXPECT_EQ(melody(), (Notes{{60, 384}, {R, 48}, {74, 336}}));
}

TEST_F(MelodyAnalysis, NotesOfOnePitchAcrossAGlideMerge)
{
    // A scoop up and back down between two notes of the same pitch.
    track.note(60, kBeat - 1).frame(61).frame(62).frame(61).note(60, kBeat - 2).rest(kBeat);
    ASSERT_TRUE(analyser.analyseMelody(0));
    EXPECT_EQ(melody(), (Notes{{60, 384}}));
}

TEST_F(MelodyAnalysis, SlidesIntoANoteBelongToIt)
{
    // Rising into 64 over four frames after a rest; the slide joins the note.
    track.rest(kBeat).frame(61).frame(62).frame(63).frame(63.6).note(64, 2 * kBeat - 4).note(62, kBeat).rest(kBeat);
    ASSERT_TRUE(analyser.analyseMelody(0));
    Notes m = melody();
    ASSERT_EQ(m.size(), 3u) << "one bar exactly: no padding";
    EXPECT_EQ(m[0], (std::pair<int, int>{R, 192}));
    EXPECT_EQ(m[1], (std::pair<int, int>{64, 384}));
    EXPECT_EQ(m[2], (std::pair<int, int>{62, 192}));
}

TEST_F(MelodyAnalysis, ShortVoicedBlipsGiveNoNote)
{
    // Two frames of 70, less than half a grid unit: alone between rests they
    // become rest; inside a run they are shared out to the notes around them.
    struct Case {
        const char* what;
        uint32_t restAround;
        Notes want;
    } cases[] = {
        {"between rests", kBeat, {{60, 192}, {R, 384}, {62, 192}}},
        {"inside a run", 0, {{60, 192}, {62, 192}, {R, 384}}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(analyser.reset(120, 0, 2048, kFPB));
        testsignal::TrackBuilder b(analyser);
        b.note(60, kBeat).rest(c.restAround).frame(70).frame(70);
        b.rest(c.restAround == 0 ? 0 : c.restAround - 2).note(62, c.restAround == 0 ? kBeat - 2 : kBeat).rest(kBeat);
        ASSERT_TRUE(analyser.analyseMelody(0)) << c.what;
        EXPECT_EQ(melody(), c.want) << c.what;
    }
}

TEST_F(MelodyAnalysis, QuietFramesAreSilence)
{
    // Below 1/128 of the loudest frame a pitch counts for nothing.
    track.note(60, kBeat, 1.0).note(72, kBeat, 0.005).note(62, kBeat, 1.0).rest(kBeat);
    ASSERT_TRUE(analyser.analyseMelody(0));
    EXPECT_EQ(melody(), (Notes{{60, 192}, {R, 192}, {62, 192}, {R, 192}}));
}

TEST_F(MelodyAnalysis, LeadingBarsOfRestAreCountedOffAndTheTracksTrimmed)
{
    // 2 bars + (a bar less half a unit, plus one frame) of rest: the note
    // came in just before the bar line, so it starts on the line.
    uint32_t lead = 2 * kBar + kBar - 2 + 1;
    track.rest(lead).note(60, kBar + 1).note(62, kBar).rest(kBeat);
    auto r = analyser.analyseMelody(0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->leadInBars, 3);
    EXPECT_EQ(r->barCount, 2);
    EXPECT_EQ(melody(), (Notes{{60, 768}, {62, 768}}));
    EXPECT_EQ(analyser.tracks().count(), 2 * kBar);
    EXPECT_EQ(analyser.tracks().completedBeats(), 8u);
    EXPECT_GE(analyser.tracks().pitch()[0], 59.5) << "the first note is in bar 0";

    auto again = analyser.analyseMelody(0);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->leadInBars, 0);
    EXPECT_EQ(melody(), (Notes{{60, 768}, {62, 768}}));
}

TEST_F(MelodyAnalysis, TrailingRestIsDroppedAndTheLastBarPadded)
{
    track.note(60, kBeat).note(64, kBeat).rest(3 * kBar);
    auto r = analyser.analyseMelody(0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->barCount, 1);
    EXPECT_EQ(melody(), (Notes{{60, 192}, {64, 192}, {R, 384}}));
    EXPECT_EQ(analyser.tracks().count(), kBar);
}

TEST_F(MelodyAnalysis, ASharpSingerGivesTheSameNotes)
{
    struct Line {
        double pitch;
        uint32_t beats;
    } line[] = {{60, 1}, {62, 1}, {64, 2}, {65, 1}, {67, 1}, {69, 2}};
    Notes inTune;
    melodrift::testsupport::LogLines log;
    for (double detune : {0.0, 0.3, 0.45, -0.4}) {
        ASSERT_TRUE(analyser.reset(120, 0, 2048, kFPB));
        testsignal::TrackBuilder b(analyser);
        for (const Line& l : line)
            b.note(l.pitch + detune, l.beats * kBeat);
        b.rest(kBeat);
        ASSERT_TRUE(analyser.analyseMelody(0));
        if (detune == 0)
            inTune = melody();
        else
            EXPECT_EQ(melody(), inTune) << detune;
    }
    EXPECT_EQ(inTune, (Notes{{60, 192}, {62, 192}, {64, 384}, {65, 192}, {67, 192}, {69, 384}}));
    EXPECT_TRUE(log.Contains("Average pt diff: -0.40\n"));
}

TEST_F(MelodyAnalysis, NothingBeforeTheFirstBeat)
{
    track.note(60, kBeat - 1);
    EXPECT_FALSE(analyser.analyseMelody(-1).has_value());
    EXPECT_EQ(analyser.noteCount(), 0);
    EXPECT_EQ(KeyFinder::calls, 0);
}

TEST_F(MelodyAnalysis, RestsOnlyGiveNoPitchedNote)
{
    track.rest(3 * kBar);
    auto r = analyser.analyseMelody(-1);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->pitched, 0);
    EXPECT_EQ(analyser.noteCount(), 0);
}

}  // namespace
