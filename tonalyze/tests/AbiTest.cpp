// The shared library as its callers see it: loaded by name, four entry
// points and nothing else, answering as the core does.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "HarmonyAnalysis.h"
#include "KeyAnalyser.h"
#include "MelodriftPlatform.h"
#include "MelodyText.h"
#include "Songs.h"
#include "Tonalyze.h"

namespace tonalyze::test {
namespace {

std::set<std::string> exportedSymbols(const std::string& path)
{
    const std::string cmd = "nm -D --defined-only '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(cmd.c_str(), "r"), &::pclose);
    std::set<std::string> names;
    if (!pipe)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::istringstream in(line);
        std::string addr, type, name;
        if (in >> addr >> type >> name)
            names.insert(name);
    }
    return names;
}

class TonalyzeLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        char error[512] = "";
        m_lib = MDP_LoadLibrary("Tonalyze.dll", error, sizeof error);
        ASSERT_NE(m_lib, nullptr) << error;
        key = reinterpret_cast<MA_KeyAnalysisFn>(MDP_GetSymbol(m_lib, "MA_KeyAnalysis"));
        input = reinterpret_cast<MA_InputMelodyFn>(MDP_GetSymbol(m_lib, "MA_InputMelody"));
        analyse = reinterpret_cast<MA_MelodyAnalysisFn>(MDP_GetSymbol(m_lib, "MA_MelodyAnalysis"));
        release = reinterpret_cast<MA_ReleaseFn>(MDP_GetSymbol(m_lib, "MA_Release"));
    }
    void TearDown() override
    {
        if (release)
            release();
        MDP_FreeLibrary(m_lib);
    }
    void* m_lib = nullptr;
    MA_KeyAnalysisFn key = nullptr;
    MA_InputMelodyFn input = nullptr;
    MA_MelodyAnalysisFn analyse = nullptr;
    MA_ReleaseFn release = nullptr;
};

TEST_F(TonalyzeLibrary, ExportsExactlyTheFourEntryPoints)
{
    const std::set<std::string> names = exportedSymbols(std::string(MDP_LibraryDir()) + "/libTonalyze.so");
    EXPECT_EQ(names, (std::set<std::string>{"MA_InputMelody", "MA_KeyAnalysis", "MA_MelodyAnalysis", "MA_Release"}));
    EXPECT_NE(key, nullptr);
    EXPECT_NE(input, nullptr);
    EXPECT_NE(analyse, nullptr);
    EXPECT_NE(release, nullptr);
    EXPECT_EQ(MDP_GetSymbol(m_lib, "_ZN8tonalyze11KeyAnalyser7analyseERKNS_8NoteSpanEii"), nullptr);
}

TEST_F(TonalyzeLibrary, AnswersAsTheCoreDoes)
{
    ASSERT_TRUE(key && input && analyse && release);
    for (int ts = 0; ts < 4; ++ts) {
        for (const std::string* song : {&songs::kRepeatedOpening, &songs::kAMinor, &songs::kWaltzInG}) {
            const Melody m = parseMelody(*song);
            const int k = key(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, ts);
            EXPECT_EQ(k, KeyAnalyser::analyse(m.span(), kTicksPerBeat, ts));

            HarmonyAnalysis core;
            const int bars = core.input(m.span(), kTicksPerBeat, ts);
            int32_t libBars = 0;
            ASSERT_EQ(input(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, ts, 90, &libBars), 0);
            EXPECT_EQ(libBars, bars);

            MA_Section s1[64], s2[64];
            MA_Chord c1[128], c2[128];
            MA_Fill f1[64], f2[64];
            int32_t ns1 = 0, nc1 = 0, nf1 = 0, ns2 = 0, nc2 = 0, nf2 = 0;
            ASSERT_EQ(analyse(k, &ns1, s1, &nc1, c1, &nf1, f1), 0);
            ASSERT_EQ(core.analyse(k, &ns2, s2, &nc2, c2, &nf2, f2), 0);
            ASSERT_EQ(ns1, ns2);
            ASSERT_EQ(nc1, nc2);
            ASSERT_EQ(nf1, nf2);
            for (int i = 0; i < ns1; ++i)
                EXPECT_TRUE(s1[i].lastBar == s2[i].lastBar && s1[i].pattern == s2[i].pattern);
            for (int i = 0; i < nc1; ++i)
                EXPECT_TRUE(c1[i].code == c2[i].code && c1[i].wholeBar == c2[i].wholeBar);
            for (int i = 0; i < nf1; ++i)
                EXPECT_EQ(f1[i].bar, f2[i].bar);
        }
    }
}

}  // namespace
}  // namespace tonalyze::test
