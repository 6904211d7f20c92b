// A sung melody synthesised, cut into frames with a real FFT and recognised:
// notes, lengths on the grid and the key, with Tonalyze loaded by name.
#include "Analyser.h"
#include "SungMelody.h"

#include "MelodriftPlatform.h"

#include <gtest/gtest.h>

using testsignal::SungNote;
using testsignal::Voice;

namespace {

using Notes = std::vector<std::pair<int, int>>;

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library = MDP_LoadLibrary("Tonalyze.dll", nullptr, 0);
        if (library != nullptr)
            keyAnalysis = reinterpret_cast<pitchlore::KeyAnalysisFn>(MDP_GetSymbol(library, "MA_KeyAnalysis"));
    }
    static void TearDownTestSuite() { MDP_FreeLibrary(library); }

    struct Take {
        int tempo;
        int TS;
        int FFT;
        uint32_t FPB;
    };

    Notes recognise(const Take& t, const std::vector<SungNote>& melody, const Voice& voice, int& key,
                    pitchlore::Analyser::Result& result,
                    pitchlore::Analyser::Method method = pitchlore::Analyser::Method::Notes)
    {
        pitchlore::Analyser a(keyAnalysis);
        a.setMethod(method);
        EXPECT_TRUE(a.reset(t.tempo, t.TS, t.FFT, t.FPB));
        double hop = 44100.0 * 60 / t.tempo / t.FPB;
        auto spectra = testsignal::frames(testsignal::sing(melody, t.tempo, voice), t.FFT, hop);
        for (uint32_t i = 0; i < spectra.size(); ++i)
            a.frame(i, spectra[i].data());
        auto r = a.analyseMelody(-1);
        EXPECT_TRUE(r);
        if (r)
            result = *r;
        key = a.key();
        Notes out;
        const auto& o = a.outputs();
        for (size_t i = 0; i < o.noteNumbers().size(); ++i)
            out.emplace_back(o.noteNumbers()[i], o.lengths()[i] * 192 / t.FPB);
        return out;
    }

    static inline void* library = nullptr;
    static inline pitchlore::KeyAnalysisFn keyAnalysis = nullptr;
};

// "C D E F | G - E C | A B G D | C - - -" after a bar of rest.
std::vector<SungNote> scaleTune(double restBeats, int transpose)
{
    std::vector<SungNote> tune{{-1, restBeats}, {60, 1}, {62, 1}, {64, 1}, {65, 1}, {67, 2}, {64, 1},
                               {60, 1}, {69, 1}, {71, 1}, {67, 1}, {62, 1}, {60, 4}, {-1, 1}};
    for (auto& n : tune)
        n.midi = n.midi < 0 ? -1 : n.midi + transpose;
    return tune;
}

Notes scaleNotes(int transpose)
{
    Notes notes{{60, 192}, {62, 192}, {64, 192}, {65, 192}, {67, 384}, {64, 192},
                {60, 192}, {69, 192}, {71, 192}, {67, 192}, {62, 192}, {60, 768}};
    for (auto& n : notes)
        n.first += transpose;
    return notes;
}

TEST_F(EndToEnd, RecognisesASungTuneWithItsLengthsAndKey)
{
    ASSERT_NE(keyAnalysis, nullptr) << "libTonalyze.so must be built beside the tests";
    // 120 beats a minute, 40 frames a beat: a hop of 551.25 samples.
    int key = -2;
    pitchlore::Analyser::Result r;
    Notes got = recognise({120, 0, 2048, 40}, scaleTune(4, 0), Voice{}, key, r);
    EXPECT_EQ(got, scaleNotes(0));
    EXPECT_EQ(key, 0);
    EXPECT_EQ(r.pitched, 12);
    EXPECT_EQ(r.leadInBars, 1);
    EXPECT_EQ(r.barCount, 4);
}

TEST_F(EndToEnd, RecognisesTheTuneSungSharpTransposedAndInThreeFour)
{
    ASSERT_NE(keyAnalysis, nullptr);
    struct Case {
        const char* what;
        int transpose;
        double detune;
        int TS;
        int tempo;
        uint32_t FPB;
        int FFT;
    } cases[] = {
        {"a third of a semitone sharp", 0, 0.33, 0, 120, 40, 2048},
        {"in G, larger transform", 7, 0.0, 0, 100, 48, 4096},
        {"in E-flat, three-four, slower", 3, -0.2, 1, 90, 36, 2048},
    };
    for (const Case& c : cases) {
        std::vector<SungNote> tune = scaleTune(c.TS == 1 ? 3 : 4, c.transpose);
        Notes want = scaleNotes(c.transpose);
        if (c.TS == 1)
            want.emplace_back(128, 384);  // 16 beats fill six bars of three less two beats
        Voice v;
        v.detune = c.detune;
        v.seed = 11;
        int key = -2;
        pitchlore::Analyser::Result r;
        EXPECT_EQ(recognise({c.tempo, c.TS, c.FFT, c.FPB}, tune, v, key, r), want) << c.what;
        EXPECT_EQ(key, c.transpose) << c.what;
    }
}

TEST_F(EndToEnd, AChromaticNoteSungInTuneIsKeptByTheNoteTracker)
{
    ASSERT_NE(keyAnalysis, nullptr);
    // The E of bar two sung as a clear E-flat: the tune stays in C. The note
    // tracker keeps what was sung; the segment method pulls it onto the scale
    // (to D or E, whichever side of 63 the voice measured).
    std::vector<SungNote> tune = scaleTune(4, 0);
    tune[6].midi = 63;
    using Method = pitchlore::Analyser::Method;
    for (Method method : {Method::Notes, Method::Segments}) {
        SCOPED_TRACE(method == Method::Notes ? "notes" : "segments");
        int key = -2;
        pitchlore::Analyser::Result r;
        Notes got = recognise({120, 0, 2048, 40}, tune, Voice{}, key, r, method);
        EXPECT_EQ(key, 0);
        ASSERT_EQ(got.size(), 12u);
        if (method == Method::Notes)
            EXPECT_EQ(got[5].first, 63);
        else
            EXPECT_TRUE(got[5].first == 62 || got[5].first == 64) << got[5].first;
        Notes want = scaleNotes(0);
        got[5].first = want[5].first;
        EXPECT_EQ(got, want);
    }
}

}  // namespace
