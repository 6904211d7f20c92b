#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "KeyTrace.h"
#include "MelodyText.h"
#include "Tonalyze.h"

namespace tonalyze::test {
namespace {

namespace fs = std::filesystem;

class KeyTraceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("tonalyze-trace-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        ::unsetenv("MELODRIFT_TRACE_DIR");
        fs::remove_all(m_dir);
    }
    int analyse(const char* text)
    {
        const Melody m = parseMelody(text);
        return MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 0);
    }
    std::string traceText() const
    {
        std::ifstream in(m_dir / KeyTrace::kFileName);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path m_dir;
};

TEST_F(KeyTraceFile, NotWrittenUnlessAFolderIsConfigured)
{
    ::unsetenv("MELODRIFT_TRACE_DIR");
    EXPECT_EQ(analyse("C4:1 E4:1 G4:2"), 0);
    EXPECT_TRUE(fs::is_empty(m_dir));
}

TEST_F(KeyTraceFile, RecordsProfileRankingsAndDecisionPerCall)
{
    ::setenv("MELODRIFT_TRACE_DIR", m_dir.c_str(), 1);
    EXPECT_EQ(analyse("C4:1 D4:1 E4:1 F4:1 G4:1 A4:1 B4:1 C5:1"), 0);
    EXPECT_EQ(analyse("G4:1 A4:1 B4:1 C5:1 D5:1 E5:1 #F5:1 G5:1"), 7);
    const std::string t = traceText();
    EXPECT_NE(t.find("全曲12个音列表"), std::string::npos);
    EXPECT_NE(t.find("0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\n"), std::string::npos);
    for (const char* heading : {"\n首节1356音加权:\t", "\n音阶内音加权:\t", "\n12356音加权:\t", "\n1356音加权:\t"})
        EXPECT_NE(t.find(heading), std::string::npos) << heading;
    EXPECT_NE(t.find("\n★最终曲调:0\n"), std::string::npos);
    EXPECT_NE(t.find("\n★最终曲调:7\n"), std::string::npos);
    EXPECT_LT(t.find("★最终曲调:0"), t.find("★最终曲调:7"));
}

TEST_F(KeyTraceFile, AMissingFolderDoesNotChangeTheResult)
{
    ::setenv("MELODRIFT_TRACE_DIR", (m_dir / "absent" / "deeper").c_str(), 1);
    EXPECT_EQ(analyse("G4:1 A4:1 B4:1 C5:1 D5:1 E5:1 #F5:1 G5:1"), 7);
}

}  // namespace
}  // namespace tonalyze::test
