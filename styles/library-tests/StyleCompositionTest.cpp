// Songs composed with every library style: the parts follow the chords,
// stay in register and the song has the length of its form; a reference
// melody's accompaniment is played through FluidSynth and measured.
#include "StyleLibraryFixture.h"

using namespace stylelib;

namespace {

struct BarChord {
    int root;
    int type;
    bool half;  // two half-bar chords share the bar
};

// Sixteen bars that visit every chord type on many roots; bar 13 holds two.
const std::vector<BarChord> kProgression = {
    {0, 0, false}, {9, 1, false}, {2, 3, false}, {7, 2, false}, {5, 0, false},  {4, 1, false},
    {9, 2, false}, {2, 1, false}, {10, 0, false}, {7, 3, false}, {4, 2, false}, {9, 1, false},
    {5, 0, false}, {5, 0, true},  {7, 0, true},  {7, 2, false}, {0, 0, false}};

bool isChordPart(const TrackFacts& t)
{
    Role role = instrumentRange(t.channel, t.program).role;
    bool sustained = (t.program >= 48 && t.program <= 55) || (t.program >= 88 && t.program <= 95);
    return role == Role::Chords || sustained;
}

// The reference melody: eight bars of a plain tune in C, a quarter note per
// beat, the last note held for its bar.
void referenceMelody(int beats, std::vector<uint8_t>& pitches, std::vector<uint16_t>& lengths)
{
    const uint8_t tune[32] = {60, 64, 67, 64, 65, 69, 67, 64, 62, 65, 64, 60, 62, 59, 55, 59,
                              60, 64, 67, 72, 69, 65, 62, 65, 64, 67, 65, 62, 60, 60, 60, 60};
    for (int bar = 0; bar < 8; ++bar) {
        int notes = bar == 7 ? 1 : beats;
        for (int i = 0; i < notes; ++i) {
            pitches.push_back(tune[bar * 4 + i]);
            lengths.push_back(uint16_t(bar == 7 ? 192 * beats : 192));
        }
    }
}

}  // namespace

TEST_F(StyleLibrary, SongsFollowTheChordsInEveryPattern)
{
    std::vector<SM_Chord> chords;
    for (const BarChord& c : kProgression)
        chords.push_back({c.root * 4 + c.type, c.half ? 0 : 1});
    const SM_Section sections[4] = {{3, 0}, {7, 1}, {11, 2}, {15, 3}};
    const SM_Stage stages[6] = {{256, 0}, {0, 0}, {1, 1}, {2, 2}, {3, 3}, {273, 0}};
    std::vector<uint8_t> buffer(2000000);
    for (const Style& s : styles) {
        SCOPED_TRACE(s.info.name);
        const int introBars = s.info.introBars[0], bar = s.bar();
        const SM_Fill fills[2] = {{introBars + 3, 0}, {introBars + 11, 1}};
        std::vector<int32_t> ids(6, s.info.id);
        int32_t size = int32_t(buffer.size());
        ASSERT_EQ(api.compose(0, &size, buffer.data(), 4, sections, int32_t(chords.size()), chords.data(), 6, stages,
                              ids.data(), 2, fills),
                  0);
        std::vector<ChordWindow> windows;
        int32_t tick = introBars * bar;
        for (const BarChord& c : kProgression) {
            int32_t len = c.half ? bar / 2 : bar;
            windows.push_back({tick, tick + len, c.root, c.type});
            tick += len;
        }
        std::string mid = path(s, "chords.mid");
        ASSERT_TRUE(writeFile(mid, buffer.data(), size_t(size)));
        SongFacts song = inspectMidi(mid, windows, bar);
        expectPlayableTracks(song, s);
        EXPECT_EQ(song.lengthTicks, int64_t(introBars + 16 + s.info.outroBars[1]) * bar);
        for (const TrackFacts& t : song.tracks) {
            SCOPED_TRACE("channel " + std::to_string(t.channel) + " program " + std::to_string(t.program));
            if (instrumentRange(t.channel, t.program).role == Role::Bass) {
                EXPECT_GE(t.barStarts, 8) << "the bass plays at most chord changes";
                EXPECT_EQ(t.onRoot, t.barStarts) << "the bass starts each chord on its root";
            }
            if (isChordPart(t) && t.inWindows > 0) {
                EXPECT_GE(t.chordTones * 10, t.inWindows * 9)
                    << t.chordTones << " of " << t.inWindows << " notes fit the chord";
            }
        }
    }
}

TEST_F(StyleLibrary, ReferenceMelodyComposesAndPlays)
{
    if (!haveFluidSynth())
        GTEST_SKIP() << "fluidsynth or the default sound font is not installed";
    std::vector<uint8_t> buffer(1000000), song(2000000);
    for (const Style& s : styles) {
        SCOPED_TRACE(s.info.name);
        std::vector<uint8_t> pitches;
        std::vector<uint16_t> lengths;
        referenceMelody(kBeats[s.info.metre], pitches, lengths);
        int32_t bars = 0;
        ASSERT_EQ(api.inputWavNotes(pitches.data(), lengths.data(), int32_t(pitches.size()), 192, s.info.metre,
                                    s.info.tempo, &bars),
                  0);
        ASSERT_EQ(bars, 8);
        int32_t size = int32_t(buffer.size()), sectionCount = 0, chordCount = 0, fillCount = 0;
        std::vector<SM_Section> sections(8);
        std::vector<SM_Chord> chords(16);
        std::vector<SM_Fill> fills(8);
        ASSERT_EQ(api.baseCompose(0, &size, buffer.data(), &sectionCount, sections.data(), &chordCount,
                                  chords.data(), &fillCount, fills.data(), s.info.id),
                  0);
        ASSERT_GT(sectionCount, 0);
        EXPECT_EQ(sections[size_t(sectionCount - 1)].lastBar, 7);

        // The default song form: intro, the melody, interlude, the melody again, ending.
        std::vector<SM_Stage> stages = {{256, 0}};
        for (int i = 0; i < sectionCount; ++i)
            stages.push_back({i, sections[size_t(i)].pattern});
        stages.push_back({257, 0});
        for (int i = 0; i < sectionCount; ++i)
            stages.push_back({i, sections[size_t(i)].pattern});
        stages.push_back({272, 0});
        std::vector<int32_t> ids(stages.size(), s.info.id);
        int32_t songSize = int32_t(song.size());
        ASSERT_EQ(api.compose(0, &songSize, song.data(), sectionCount, sections.data(), chordCount, chords.data(),
                              int32_t(stages.size()), stages.data(), ids.data(), 0, nullptr),
                  0);
        std::string mid = path(s, "song.mid"), wav = path(s, "song.wav");
        ASSERT_TRUE(writeFile(mid, song.data(), size_t(songSize)));
        SongFacts facts = inspectMidi(mid, {}, s.bar());
        expectPlayableTracks(facts, s);
        const int formBars = s.info.introBars[0] + 8 + s.info.introBars[1] + 8 + s.info.outroBars[0];
        EXPECT_EQ(facts.lengthTicks, int64_t(formBars) * s.bar());
        EXPECT_NEAR(facts.seconds, formBars * kBeats[s.info.metre] * 60.0 / s.info.tempo, 0.05)
            << "the song plays at the style's tempo";

        ASSERT_EQ(renderWithFluidSynth(mid, wav), "");
        // The final chord may ring for a moment; after that nothing sounds.
        AudioFacts audio = inspectWav(wav, facts.seconds + 2.5);
        ASSERT_TRUE(audio.ok) << audio.error;
        EXPECT_GE(audio.seconds, facts.seconds - 0.05);
        EXPECT_LT(audio.tailRms, 0.001) << "sound goes on after the ending";
        EXPECT_GT(audio.rms, 0.004) << "nearly silent";
        EXPECT_LT(audio.peak, 0.98) << "clipping";
        EXPECT_LT(audio.clippedShare, 1e-5);
        if (!keep_)
            std::filesystem::remove(wav);
    }
}

namespace {

// Pitch classes relative to a key as bits of absolute pitch classes.
int classes(int key, std::initializer_list<int> intervals)
{
    int mask = 0;
    for (int i : intervals)
        mask |= 1 << ((key + i) % 12);
    return mask;
}

}  // namespace

TEST_F(StyleLibrary, IntrosEndOnTheDominantAndEndingsOnTheTonic)
{
    struct Key {
        int root;
        int minor;
    };
    const Key keys[] = {{0, 0}, {9, 1}, {7, 1}, {10, 0}};
    std::vector<uint8_t> buffer(200000);
    for (const Style& s : styles) {
        SCOPED_TRACE(s.info.name);
        for (const Key& k : keys) {
            for (int type = 1; type <= 2; ++type) {
                for (int id = 0; id < s.info.segmentCount[type + 1]; ++id) {
                    SCOPED_TRACE((type == 1 ? "intro " : "outro ") + std::to_string(id) + " in key " +
                                 std::to_string(k.root) + (k.minor ? " minor" : " major"));
                    int32_t size = int32_t(buffer.size());
                    ASSERT_EQ(api.demo(&size, buffer.data(), s.info.id, type, id, k.root, k.minor), 0);
                    std::string mid = path(s, "cadence.mid");
                    ASSERT_TRUE(writeFile(mid, buffer.data(), size_t(size)));
                    SongFacts f = inspectMidi(mid, {}, s.bar());
                    ASSERT_TRUE(f.ok) << f.error;
                    ASSERT_GE(f.lastBarStart, 0);
                    if (type == 1) {
                        // The last bar is the key's dominant seventh, leading into the song
                        // (jazz-coloured styles add its ninth and thirteenth).
                        int dominant = classes(k.root, {7, 11, 2, 5, 9, 4});
                        EXPECT_EQ(f.lastBarClasses & ~dominant, 0) << std::hex << f.lastBarClasses;
                        EXPECT_EQ(f.lastBarLowest % 12, (k.root + 7) % 12);
                    } else {
                        int tonic = k.minor ? classes(k.root, {0, 3, 7, 2, 10}) : classes(k.root, {0, 4, 7, 2, 9, 11});
                        EXPECT_EQ(f.lastBarClasses & ~tonic, 0) << std::hex << f.lastBarClasses;
                        EXPECT_EQ(f.lastBarLowest % 12, k.root) << "the ending rests on the key note";
                    }
                }
            }
        }
    }
}
