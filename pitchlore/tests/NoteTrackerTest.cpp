// The note tracker on synthesised voices with the faults real singers bring:
// repeated notes of one pitch, scoops into notes, a low voice whose
// fundamental is weaker than its second harmonic. Frames are cut with the
// transform size and frame rate the audio engine uses.
#include "Analyser.h"
#include "NoteTracker.h"
#include "SungMelody.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

using testsignal::SungNote;
using testsignal::Voice;

namespace {

constexpr int kFFT = 8192;
constexpr uint32_t kFPB = 16;

struct Heard {
    std::vector<int> pitched;  // note numbers of the pitched notes in order
};

// The note numbers of the analyser's pitched notes, rests left out.
std::vector<int> pitchedNotes(const pitchlore::Analyser& a)
{
    std::vector<int> pitched;
    for (uint8_t n : a.outputs().noteNumbers())
        if (n != 128)
            pitched.push_back(n);
    return pitched;
}

// Adds to a take what the room brings: a steady tone with harmonics.
using Room = std::vector<float> (*)(std::vector<float>);

Heard recognise(const std::vector<SungNote>& melody, int tempo, const Voice& voice,
                pitchlore::Analyser::Method method = pitchlore::Analyser::Method::Notes, Room room = nullptr)
{
    pitchlore::Analyser a;  // no key finder: nothing is snapped to a scale
    a.setMethod(method);
    EXPECT_TRUE(a.reset(tempo, 0, kFFT, kFPB));
    double hop = 44100.0 * 60 / tempo / kFPB;
    std::vector<float> take = testsignal::sing(melody, tempo, voice);
    if (room)
        take = room(std::move(take));
    auto spectra = testsignal::frames(take, kFFT, hop);
    for (uint32_t i = 0; i < spectra.size(); ++i)
        a.frame(i, spectra[i].data());
    Heard heard;
    auto r = a.analyseMelody(-1);
    EXPECT_TRUE(r);
    if (r)
        heard.pitched = pitchedNotes(a);
    return heard;
}

std::vector<int> pitchedOf(const std::vector<SungNote>& melody)
{
    std::vector<int> out;
    for (const SungNote& n : melody)
        if (n.midi >= 0)
            out.push_back(n.midi);
    return out;
}

std::string text(const std::vector<int>& notes)
{
    std::string s;
    for (int n : notes)
        s += std::to_string(n) + " ";
    return s;
}

TEST(NoteTracker, RepeatedNotesOfOnePitchStaySeparate)
{
    // Four beats of E, then two Gs, sung with a short break between notes as
    // a singer re-attacks; the steady-segment method heard one long E.
    const std::vector<SungNote> tune{{-1, 4}, {64, 1}, {64, 1}, {64, 1}, {64, 1},
                                     {67, 2}, {67, 2}, {64, 4}, {-1, 1}};
    struct Case {
        int tempo;
        double gap;
    } cases[] = {{70, 0.08}, {100, 0.07}, {140, 0.06}};
    for (const Case& c : cases) {
        Voice v;
        v.gap = c.gap;
        Heard h = recognise(tune, c.tempo, v);
        EXPECT_EQ(text(h.pitched), text(pitchedOf(tune))) << "tempo " << c.tempo;
    }
}

TEST(NoteTracker, RepeatedNotesSungLegatoOnNewSyllablesStaySeparate)
{
    // No breath between the notes: each starts on a consonant while the
    // level dips by only 2.5 dB, too little for a level cut. The hiss splits
    // the repeated notes; it must not split a held note or add notes where
    // the pitch changes anyway.
    const std::vector<SungNote> tune{{-1, 4}, {64, 1}, {64, 1}, {64, 1}, {64, 1}, {67, 2},
                                     {65, 1}, {64, 1}, {62, 1}, {62, 1}, {60, 4}, {-1, 1}};
    struct Case {
        int tempo;
        double consonant;  // seconds
        double hissLevel;
    } cases[] = {{72, 0.1, 0.3}, {100, 0.1, 0.3}, {100, 0.08, 0.2}, {120, 0.12, 0.3}};
    for (const Case& c : cases) {
        Voice v;
        v.gap = 0;
        v.harmonics = {1.0, 0.5, 0.3, 0.2, 0.12, 0.08, 0.05, 0.03};  // an open vowel's falling partials
        v.consonant = c.consonant;
        v.hissLevel = c.hissLevel;
        Heard h = recognise(tune, c.tempo, v);
        EXPECT_EQ(text(h.pitched), text(pitchedOf(tune)))
            << "tempo " << c.tempo << ", " << c.consonant << " s of hiss at " << c.hissLevel;
    }
}

TEST(NoteTracker, ConsonantCutsSurviveTheTakeBeingCutToItsBars)
{
    // The first analysis cuts the tracks down to the melody's bars; a second
    // one (a new key) must find the same consonants on the same frames.
    const std::vector<SungNote> tune{{-1, 5}, {64, 1}, {64, 1}, {64, 1}, {67, 1}, {62, 1}, {62, 1}, {60, 2}, {-1, 1}};
    Voice v;
    v.gap = 0;
    v.harmonics = {1.0, 0.5, 0.3, 0.2, 0.12, 0.08, 0.05, 0.03};
    v.consonant = 0.1;
    v.hissLevel = 0.3;
    pitchlore::Analyser a;
    ASSERT_TRUE(a.reset(90, 0, kFFT, kFPB));
    auto spectra = testsignal::frames(testsignal::sing(tune, 90, v), kFFT, 44100.0 * 60 / 90 / kFPB);
    for (uint32_t i = 0; i < spectra.size(); ++i)
        a.frame(i, spectra[i].data());
    auto pitched = [&] { return text(pitchedNotes(a)); };
    auto first = a.analyseMelody(0);
    ASSERT_TRUE(first);
    ASSERT_GT(first->leadInBars, 0);  // the tracks were cut
    EXPECT_EQ(pitched(), text(pitchedOf(tune)));
    a.reanalyseWithKey(7);
    EXPECT_EQ(pitched(), text(pitchedOf(tune)));
}

// A frame's spectrum drawn by hand: a voice of fundamental f0 Hz over a faint
// floor, with hiss above 2 kHz of level hiss per bin, or of level hiss in
// every other quarter octave (the even ones or the odd ones) and faint in the
// rest.
enum class Hiss { Flat, EvenBands, OddBands };
std::vector<float> voiceFrame(double f0, double hiss, Hiss shape = Hiss::Flat)
{
    std::vector<float> s = testsignal::harmonicSpectrum(kFFT, f0, {1.0, 0.5, 0.3, 0.2, 0.12, 0.08, 0.05, 0.03});
    for (size_t i = 0; i < s.size(); ++i) {
        const double hz = static_cast<double>(i) * 44100 / kFFT;
        s[i] += 1e-3f;
        if (hz < 2000)
            continue;
        const bool odd = std::lround(4 * std::log2(hz / 100)) % 2 == 1;
        const bool loud = shape == Hiss::Flat || odd == (shape == Hiss::OddBands);
        s[i] += static_cast<float>(loud ? hiss : 0.0);
    }
    return s;
}

TEST(NoteTracker, AConsonantCutStaysPutWhateverIsSungSecondsBefore)
{
    // Bars sung again change the take well before a repeated note: its cut
    // must not move. The phrase before is sung plainly or breathily (its hiss
    // changing shape on every frame); then, after a breath, A3 is held and
    // re-articulated on a consonant halfway through.
    constexpr int kTempo = 100;
    constexpr uint32_t kConsonant = 32 + 96 + 16 + 32;
    auto take = [&](bool breathy) {
        pitchlore::Analyser a;
        EXPECT_TRUE(a.reset(kTempo, 0, kFFT, kFPB));
        const std::vector<float> silence(kFFT / 2, 0.0f);
        uint32_t i = 0;
        for (; i < 32; ++i)
            a.frame(i, silence.data());
        for (; i < 32 + 96; ++i)
            a.frame(i, voiceFrame(261.6, breathy ? 3e-2 : 0.0, i % 2 ? Hiss::OddBands : Hiss::EvenBands).data());
        for (; i < 32 + 96 + 16; ++i)
            a.frame(i, silence.data());
        for (; i < 32 + 96 + 16 + 64; ++i) {
            const double hiss = i == kConsonant ? 2e-3 : i == kConsonant + 1 ? 1e-3 : 0.0;
            a.frame(i, voiceFrame(220.0, hiss).data());
        }
        for (; i < 32 + 96 + 16 + 64 + 32; ++i)
            a.frame(i, silence.data());
        // The notes after the breath: start frame and pitch.
        std::vector<std::pair<uint32_t, int>> after;
        uint32_t at = 0;
        for (const pitchlore::NoteRecord& r : pitchlore::NoteTracker(a.config()).track(a.tracks())) {
            if (!r.isRest() && at >= 32 + 96)
                after.emplace_back(at, static_cast<int>(std::lround(r.pitch)));
            at += static_cast<uint32_t>(r.frames);
        }
        return after;
    };
    const auto plain = take(false);
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[0].second, 57);
    EXPECT_EQ(plain[1].second, 57);
    EXPECT_NEAR(plain[1].first, kConsonant, 1.0);
    EXPECT_EQ(take(true), plain);
}

TEST(NoteTracker, AClearVoiceHoldingItsNotesIsNeverCutForHiss)
{
    // A soft voice with no consonants whose top harmonics the vibrato sweeps
    // in and out of the bands above 1.6 kHz: nothing there is a new syllable.
    const std::vector<SungNote> tune{{-1, 4}, {60, 4}, {62, 3}, {64, 1}, {67, 4}, {55, 4}, {-1, 1}};
    for (double vibrato : {0.2, 0.6}) {
        for (int tempo : {70, 90, 140}) {
            Voice v;
            v.vibratoDepth = vibrato;
            v.noise = 0;
            v.harmonics = {1.0, 0.35, 0.19, 0.125, 0.09, 0.068};  // falling as 1/h^1.5
            Heard h = recognise(tune, tempo, v);
            EXPECT_EQ(text(h.pitched), text(pitchedOf(tune))) << "tempo " << tempo << ", vibrato " << vibrato;
        }
    }
}

TEST(NoteTracker, QuickRepeatedNotesScoopedFromBelowStaySeparate)
{
    // Eighth notes of one pitch, each re-attacked after a breath from below:
    // every attack between two level dips is a note, not a scoop into the
    // next one.
    const std::vector<SungNote> tune{{-1, 4}, {64, 0.5}, {64, 0.5}, {64, 0.5}, {64, 0.5}, {67, 1},
                                     {62, 0.5}, {62, 0.5}, {62, 0.5}, {62, 0.5}, {60, 2}, {-1, 1}};
    for (int tempo : {80, 100, 120}) {
        Voice v;
        v.gap = 0.06;
        v.scoop = 1.2;
        v.scoopTime = 0.08;
        Heard h = recognise(tune, tempo, v);
        EXPECT_EQ(text(h.pitched), text(pitchedOf(tune))) << "tempo " << tempo;
    }
}

TEST(NoteTracker, AScoopIntoANoteTakesNeitherItsPitchNorANoteOfItsOwn)
{
    // Every note starts a semitone and a half low and slides up; the note is
    // the pitch it settles on.
    const std::vector<SungNote> tune{{-1, 4}, {60, 1}, {62, 1}, {64, 1}, {65, 1}, {67, 2}, {64, 1}, {60, 1},
                                     {69, 1}, {71, 1}, {67, 1}, {62, 1}, {60, 4}, {-1, 1}};
    for (int tempo : {60, 96, 150}) {
        Voice v;
        v.scoop = 1.5;
        v.scoopTime = 0.15;
        Heard h = recognise(tune, tempo, v);
        EXPECT_EQ(text(h.pitched), text(pitchedOf(tune))) << "tempo " << tempo;
    }
}

TEST(NoteTracker, ALowVoiceWithAWeakFundamentalKeepsItsOctave)
{
    // G2 to D3 with the second harmonic twice as strong as the fundamental,
    // as in many male voices: no note may jump an octave.
    const std::vector<SungNote> tune{{-1, 4}, {43, 1}, {45, 1}, {47, 1}, {48, 1}, {50, 2}, {47, 2},
                                     {45, 1}, {43, 1}, {47, 1}, {45, 1}, {43, 4}, {-1, 1}};
    Voice v;
    v.harmonics = {0.5, 1.0, 0.8, 0.5, 0.4, 0.3, 0.2, 0.15, 0.1, 0.1};
    for (int tempo : {72, 120}) {
        Heard h = recognise(tune, tempo, v);
        EXPECT_EQ(text(h.pitched), text(pitchedOf(tune))) << "tempo " << tempo;
    }
}

TEST(NoteTracker, AHighVoiceWithFaintHarmonicsIsHeard)
{
    // A high voice on a round vowel is nearly a pure tone: its second
    // harmonic a few percent of the fundamental. Whole notes of it were
    // called unvoiced.
    const std::vector<SungNote> tune{{-1, 4}, {72, 1}, {74, 1}, {76, 2}, {79, 2}, {77, 1}, {76, 1},
                                     {74, 2}, {72, 4}, {-1, 1}};
    Voice v;
    v.harmonics = {1.0, 0.04, 0.02};
    for (int tempo : {80, 130}) {
        Heard h = recognise(tune, tempo, v);
        EXPECT_EQ(text(h.pitched), text(pitchedOf(tune))) << "tempo " << tempo;
    }
}

TEST(NoteTracker, BreathBeforeAPhraseIsNoNote)
{
    // Noise alone (breath, room) between phrases never becomes a note.
    const std::vector<SungNote> tune{{-1, 4}, {67, 2}, {65, 2}, {-1, 4}, {64, 2}, {62, 2}, {-1, 1}};
    Voice v;
    v.noise = 0.05;
    Heard h = recognise(tune, 100, v);
    EXPECT_EQ(text(h.pitched), text(pitchedOf(tune)));
}

TEST(NoteTracker, MainsHumUnderTheRestsIsNoNote)
{
    // A 100 Hz hum with its harmonics, the level a cheap microphone picks up
    // from the mains, sounds alone in the rests between phrases; two octaves
    // and more under the melody it was folded an octave up into the tune as
    // notes nobody sang.
    const std::vector<SungNote> tune{{-1, 4}, {67, 2}, {69, 2}, {71, 4}, {-1, 4},
                                     {72, 2}, {71, 2}, {67, 4}, {-1, 4}, {69, 4}, {-1, 1}};
    Room hum = [](std::vector<float> take) {
        for (size_t i = 0; i < take.size(); ++i) {
            double t = static_cast<double>(i) / 44100.0;
            for (int h = 1; h <= 4; ++h)
                take[i] += static_cast<float>(0.01 / h * std::sin(2 * M_PI * 100.0 * h * t));
        }
        return take;
    };
    for (int tempo : {80, 120}) {
        Heard h = recognise(tune, tempo, Voice{}, pitchlore::Analyser::Method::Notes, hum);
        EXPECT_EQ(text(h.pitched), text(pitchedOf(tune))) << "tempo " << tempo;
    }
}

TEST(NoteTracker, ASwellOnEachBeatKeepsAHeldNoteWhole)
{
    // Frame tracks, so the level alone decides: a singer who pulses a held E
    // with the beat (5.6 dB each time) sings one note; a G re-attacked 10 dB
    // down is sung twice.
    const uint32_t beat = 20;
    pitchlore::Analyser a;
    ASSERT_TRUE(a.reset(120, 0, 2048, beat));
    testsignal::TrackBuilder track(a);
    const double swell = std::exp(-0.65);
    const double attack = std::exp(-1.15);
    track.rest(beat);
    for (int i = 0; i < 4; ++i)
        track.note(64, beat - 2).note(64, 2, i < 3 ? swell : 1.0);
    track.note(67, 2 * beat - 2).note(67, 2, attack).note(67, 2 * beat).rest(beat);
    ASSERT_TRUE(a.analyseMelody(-1));
    EXPECT_EQ(text(pitchedNotes(a)), "64 67 67 ");
}

TEST(NoteTracker, AFewFramesWithNoPitchInsideAHeldNoteKeepItWhole)
{
    // Frame tracks, so the level alone decides. The estimator loses a held E
    // for a few frames while the voice keeps its level on both sides: still
    // one note, up to half a beat. The same gap between a G that fades by
    // 5 dB and a G attacked again is a rest between two notes.
    const uint32_t beat = 16;
    struct Case {
        uint32_t lost;
        const char* heard;
    };
    for (const Case& c : {Case{1, "64 67 67 "}, Case{3, "64 67 67 "}, Case{8, "64 67 67 "}, Case{9, "64 64 67 67 "}}) {
        pitchlore::Analyser a;
        ASSERT_TRUE(a.reset(100, 0, kFFT, beat));
        testsignal::TrackBuilder track(a);
        track.rest(beat).note(64, 2 * beat);
        for (uint32_t k = 0; k < c.lost; ++k)
            track.frame(-1);
        track.note(64, 2 * beat).rest(beat).note(67, 2 * beat);
        for (double fade : {0.9, 0.7, 0.55})
            track.frame(67, fade);
        for (uint32_t k = 0; k < c.lost; ++k)
            track.frame(-1);
        for (double attack : {0.55, 0.8})
            track.frame(67, attack);
        track.note(67, 2 * beat).rest(beat);
        ASSERT_TRUE(a.analyseMelody(-1));
        EXPECT_EQ(text(pitchedNotes(a)), c.heard) << c.lost << " frames lost";
    }
}

// A frame as the analyser stores it: pitch (-1: none found), level (natural
// log of its amplitude), how loud its spectrum is against the note's
// (natural log of amplitude) and how harmonic.
struct ShapedFrame {
    double pitch;
    double level;
    double loudness;
    double harmonicity;
};

// The pitches of the notes the tracker finds in frames with spectral shapes
// at 100 a minute, after and before a beat of silence.
std::vector<double> shapedNotePitches(const std::vector<ShapedFrame>& frames)
{
    const auto config = pitchlore::AnalyserConfig::make(100, 0, kFFT, kFPB);
    EXPECT_TRUE(config);
    if (!config)
        return {};
    pitchlore::FrameTracks tracks;
    tracks.configure(config->FPB, config->framesPerBlock());
    std::vector<ShapedFrame> take(kFPB, ShapedFrame{-1, 0, -10, 0});
    take.insert(take.end(), frames.begin(), frames.end());
    take.insert(take.end(), kFPB, ShapedFrame{-1, 0, -10, 0});
    for (uint32_t i = 0; i < take.size(); ++i) {
        const ShapedFrame& f = take[i];
        pitchlore::FrameValue v;
        if (f.pitch >= 0)
            v = pitchlore::FrameValue{std::exp(f.level), f.pitch, 440.0 * std::pow(2.0, (f.pitch - 69) / 12)};
        // A voice's shape: falling over the voice band, faint above 1.9 kHz.
        pitchlore::FrameShape shape;
        for (int b = 0; b < pitchlore::FrameShape::kBands; ++b)
            shape.band[b] = static_cast<float>((b < 17 ? -2.0 - 0.3 * b : -12.0) + 2 * f.loudness);
        shape.harmonicity = static_cast<float>(f.harmonicity);
        EXPECT_TRUE(tracks.store(i, v, &shape));
    }
    std::vector<double> pitches;
    for (const pitchlore::NoteRecord& r : pitchlore::NoteTracker(*config).track(tracks))
        if (!r.isRest())
            pitches.push_back(r.pitch);
    return pitches;
}

// The same as note numbers.
std::string trackShaped(const std::vector<ShapedFrame>& frames)
{
    std::vector<int> pitched;
    for (double p : shapedNotePitches(frames))
        pitched.push_back(static_cast<int>(std::lround(p)));
    return text(pitched);
}

TEST(NoteTracker, AHeldNoteTheEstimatorLosesIsWholeOnlyWhileItSoundsAsLoud)
{
    // A held A3 whose pitch the estimator loses for three frames while the
    // level on both sides holds. Where the spectrum of those frames is as
    // loud as the note's it is one note; 12 dB down (a short rest the window
    // smears) it is two.
    const ShapedFrame note{57, 0, 0, 0.95};
    for (double down : {0.0, 1.4}) {
        std::vector<ShapedFrame> frames(2 * kFPB, note);
        frames.insert(frames.end(), 3, ShapedFrame{-1, 0, -down, 0});
        frames.insert(frames.end(), 2 * kFPB, note);
        EXPECT_EQ(trackShaped(frames), down == 0.0 ? "57 " : "57 57 ") << "lost frames " << down << " down";
    }
}

TEST(NoteTracker, AShallowLevelDipIsANewNoteOnlyWhereTheVoiceBreaks)
{
    // A held A3 dips for three frames. A dip of 7.4 dB with the voice as
    // harmonic as around it, or thinning a little, is a singer's swell: one
    // note. The same dip where the voice breaks (breath, a glottal stop), or
    // a dip of 11 dB, is a new attack.
    struct Case {
        double depth;  // natural log
        double harmonicity;
        const char* heard;
    };
    for (const Case& c : {Case{0.85, 0.95, "57 "}, Case{0.85, 0.87, "57 "}, Case{0.85, 0.6, "57 57 "},
                          Case{1.3, 0.95, "57 57 "}}) {
        std::vector<ShapedFrame> frames(2 * kFPB, ShapedFrame{57, 0, 0, 0.95});
        for (uint32_t k = 0; k < 3; ++k)
            frames[kFPB + k] = ShapedFrame{57, -c.depth, -c.depth, c.harmonicity};
        EXPECT_EQ(trackShaped(frames), c.heard) << "depth " << c.depth << ", harmonicity " << c.harmonicity;
    }
}

TEST(NoteTracker, ANotesPitchIsWhereTheVoiceIsFull)
{
    // A held A3 sung 0.2 sharp for a beat, then held on as the breath runs
    // out: the voice thins and sags half a semitone. Thinned by 12 dB, the
    // tail is not what was sung; as loud as the rest, it holds the longer
    // part of the note's middle and is.
    struct Case {
        double tail;  // level, natural log
        double heard;
    };
    for (const Case& c : {Case{-1.4, 57.2}, Case{0.0, 56.7}}) {
        std::vector<ShapedFrame> frames(kFPB, ShapedFrame{57.2, 0, 0, 0.95});
        frames.insert(frames.end(), kFPB, ShapedFrame{56.7, c.tail, c.tail, 0.95});
        const std::vector<double> pitches = shapedNotePitches(frames);
        ASSERT_EQ(pitches.size(), 1U) << "tail at " << c.tail;
        EXPECT_NEAR(pitches[0], c.heard, 0.01) << "tail at " << c.tail;
    }
}

TEST(NoteTracker, ASingerAboutHalfASemitoneSharpKeepsTheSteps)
{
    // C D E F sung 0.35 to 0.55 sharp: deviations on both sides of the half
    // semitone. Clipped to -0.5..0.5 they average to nearly nothing and D and
    // F round up a semitone; as angles they give the singer's real tuning.
    pitchlore::NoteRecords notes{{60.35f, 16}, {62.55f, 16}, {64.45f, 16}, {65.55f, 16}};
    bool found = false;
    EXPECT_NEAR(pitchlore::MelodyOutputs::tuningOffset(notes, 16, found, true), 0.475, 0.03);
    EXPECT_TRUE(found);
    EXPECT_NEAR(pitchlore::MelodyOutputs::tuningOffset(notes, 16, found, false), -0.025, 1e-6);

    pitchlore::Analyser a;  // the note tracker's outputs use the circular mean
    ASSERT_TRUE(a.reset(100, 0, kFFT, kFPB));
    a.takeNoteRecords(notes, -1);
    EXPECT_EQ(a.outputs().noteNumbers(), (std::vector<uint8_t>{60, 62, 64, 65}));
}

}  // namespace
