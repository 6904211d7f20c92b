#include "MelodyFixture.h"

#include <cmath>

using pitchlore::NoteRecords;
using testsignal::KeyFinder;
using testsignal::MelodyFixture;
using testsignal::Notes;

namespace {

constexpr int R = 128;
constexpr float kRest = -1.0f;

using MelodyOutputs = MelodyFixture;

TEST_F(MelodyOutputs, DetectsTheKeyOnceAndSnapsToItsScale)
{
    KeyFinder::answer = 2;  // D major: C and F are out of the scale
    NoteRecords notes{{62.0f, 20}, {60.2f, 10}, {65.7f, 10}, {kRest, 20}, {66.0f, 20}, {61.0f, 20}};
    EXPECT_EQ(analyser.takeNoteRecords(notes, -1), 5);
    EXPECT_EQ(KeyFinder::calls, 1);
    EXPECT_EQ(KeyFinder::lastTicksPerBeat, 20);
    EXPECT_EQ(KeyFinder::lastNotes, (std::vector<uint8_t>{62, 60, 66, R, 66, 61}));
    EXPECT_EQ(analyser.key(), 2);
    // 60.2 rounded down, so it moves up; 65.7 already rounds to 66.
    EXPECT_EQ(melody(), (Notes{{62, 192}, {61, 96}, {66, 96}, {R, 192}, {66, 192}, {61, 192}}));
}

TEST_F(MelodyOutputs, TheNoteTrackerKeepsTheMelodyAsSungInItsOwnKey)
{
    // Detected C: the clear E-flat and F-sharp stay, and so do the notes sung
    // near halfway between a scale note and a chromatic one.
    KeyFinder::answer = 0;
    analyser.setMethod(pitchlore::Analyser::Method::Notes);
    NoteRecords notes{{60.0f, 20}, {63.0f, 20}, {62.55f, 10}, {61.45f, 10}, {66.35f, 10}, {70.58f, 10}};
    analyser.takeNoteRecords(notes, -1);
    EXPECT_EQ(analyser.key(), 0);
    EXPECT_EQ(analyser.outputs().noteNumbers(), (std::vector<uint8_t>{60, 63, 63, 61, 66, 71}));
    EXPECT_TRUE(analyser.pitchRevise().empty()) << "nothing long was moved";
    // D major chosen by the caller: every note goes onto its scale.
    analyser.changeKey(2);
    EXPECT_EQ(analyser.outputs().noteNumbers(), (std::vector<uint8_t>{61, 64, 62, 61, 66, 71}));
    EXPECT_FALSE(analyser.pitchRevise().empty());
    // Back in the detected key the melody reads as sung again.
    analyser.changeKey(0);
    EXPECT_EQ(analyser.outputs().noteNumbers(), (std::vector<uint8_t>{60, 63, 63, 61, 66, 71}));
}

TEST_F(MelodyOutputs, KeyFinderAnswersOutsideTheKeysBecomeC)
{
    KeyFinder::answer = -1;
    analyser.takeNoteRecords({{61.0f, 20}}, -1);
    EXPECT_EQ(analyser.key(), 0);
    EXPECT_EQ(melody(), (Notes{{62, 192}}));
}

TEST_F(MelodyOutputs, ReKeyingStartsFromTheUnsnappedNotes)
{
    KeyFinder::answer = 0;
    NoteRecords notes{{60.0f, 20}, {61.3f, 20}, {65.6f, 20}, {66.2f, 20}};
    analyser.takeNoteRecords(notes, -1);
    EXPECT_EQ(melody(), (Notes{{60, 192}, {62, 192}, {65, 192}, {67, 192}}));

    EXPECT_EQ(analyser.changeKey(-1), 4);
    EXPECT_EQ(analyser.changeKey(0), 4);
    EXPECT_EQ(KeyFinder::calls, 1) << "same key or -1: nothing recomputed";
    EXPECT_EQ(melody(), (Notes{{60, 192}, {62, 192}, {65, 192}, {67, 192}}));

    analyser.changeKey(1);  // D-flat major: D, E, G, A, B are out
    EXPECT_EQ(analyser.key(), 1);
    EXPECT_EQ(KeyFinder::calls, 1);
    EXPECT_EQ(melody(), (Notes{{60, 192}, {61, 192}, {66, 192}, {66, 192}}));
}

TEST_F(MelodyOutputs, ReKeyingWithoutIntactRecordsAnalysesAgain)
{
    track.note(60, 2 * kBeat).note(61, 2 * kBeat).rest(kBeat);
    ASSERT_TRUE(analyser.analyseMelody(-1));
    EXPECT_EQ(melody(), (Notes{{60, 384}, {62, 384}}));
    EXPECT_EQ(analyser.changeKey(1), 2);
    EXPECT_EQ(melody(), (Notes{{60, 384}, {61, 384}}));
}

TEST_F(MelodyOutputs, WithoutKeyFinderTheKeyStaysAndNothingSnaps)
{
    pitchlore::Analyser plain;
    ASSERT_TRUE(plain.reset(120, 0, 2048, kFPB));
    EXPECT_EQ(plain.takeNoteRecords({{61.0f, 20}, {63.0f, 20}}, -1), 2);
    EXPECT_EQ(plain.key(), -1);
    EXPECT_EQ(plain.outputs().noteNumbers(), (std::vector<uint8_t>{61, 63}));
    plain.takeNoteRecords({{61.0f, 20}}, 0);
    EXPECT_EQ(plain.outputs().noteNumbers(), (std::vector<uint8_t>{61}));
}

TEST_F(MelodyOutputs, TuningOffsetCountsOnlyNotesOfABeatOrMore)
{
    bool found = false;
    NoteRecords notes{{60.2f, 20}, {62.4f, 60}, {64.9f, 19}, {kRest, 100}};
    double offset = pitchlore::MelodyOutputs::tuningOffset(notes, 20, found);
    EXPECT_TRUE(found);
    EXPECT_NEAR(offset, (0.2 * 20 + 0.4 * 60) / 80, 1e-5);
    pitchlore::MelodyOutputs::tuningOffset({{60.2f, 19}}, 20, found);
    EXPECT_FALSE(found);
    double wrapped = pitchlore::MelodyOutputs::tuningOffset({{60.7f, 20}}, 20, found);
    EXPECT_NEAR(wrapped, -0.3, 1e-5);
}

TEST_F(MelodyOutputs, PitchCorrectionEvents)
{
    KeyFinder::answer = 0;
    // 63.0 snaps to 64: +1 from tick 192. The short 62 is in tune and the
    // next note is short too, so the voice goes back to 0 there. The short
    // 61 snaps to 62 but is too short for an event of its own.
    NoteRecords notes{{60.0f, 20}, {63.0f, 20}, {62.0f, 10}, {64.0f, 10}, {61.0f, 10}, {kRest, 20}, {65.0f, 20}};
    analyser.takeNoteRecords(notes, -1);
    auto events = analyser.pitchRevise();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FLOAT_EQ(events[0].offset, 1.0f);
    EXPECT_EQ(events[0].tick, 192);
    EXPECT_FLOAT_EQ(events[1].offset, 0.0f);
    EXPECT_EQ(events[1].tick, 384);
}

TEST_F(MelodyOutputs, LengthsLeaveInTicksOf192PerBeat)
{
    analyser.takeNoteRecords({{60.0f, 10}, {62.0f, 7}, {64.0f, 33}}, 0);
    EXPECT_EQ(melody(), (Notes{{60, 96}, {62, 67}, {64, 316}}));
}

}  // namespace
