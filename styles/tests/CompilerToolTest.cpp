// The melodrift-stylec program as the build and a style author run it.
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int status = -1;
    std::string errors;
};

class CompilerTool : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text)
    {
        const auto path = (m_dir / name).string();
        std::ofstream(path) << text;
        return path;
    }

    ToolRun run(const std::string& args)
    {
        const std::string errFile = (m_dir / "stderr.txt").string();
        const std::string cmd = std::string(std::getenv("MELODRIFT_BIN_DIR")) + "/melodrift-stylec " + args + " 2>"
            + errFile;
        ToolRun r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(errFile);
        std::ostringstream s;
        s << in.rdbuf();
        r.errors = s.str();
        return r;
    }

    melodrift::testsupport::TempFolder m_folder{"stylec"};
    const std::filesystem::path m_dir = m_folder.Path();
};

const char* kGood = "style 9\nname \"T\"\nmetre 2/4\ntempo 100\nmain 0 bars 1\n  group major\n"
                    "    track channel 1\n      1:1 note C4 80 1/4\n";

TEST_F(CompilerTool, WritesAStyleFile)
{
    const auto src = write("good.style", kGood);
    const auto out = (m_dir / "good.mds").string();
    const ToolRun r = run(src + " -o " + out);
    EXPECT_EQ(r.status, 0) << r.errors;
    ASSERT_TRUE(std::filesystem::exists(out));
    EXPECT_GT(std::filesystem::file_size(out), 1820u);
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
}

TEST_F(CompilerTool, ReportsErrorsWithFileAndLineAndWritesNothing)
{
    const auto src = write("bad.style", "style 9\nname \"T\"\nmetre 4/4\ntempo 1000\nmain 0 bars 1\n"
                                        "  group major\n    track channel 1\n      1:9 note C4 80 1/4\n");
    const auto out = (m_dir / "bad.mds").string();
    const ToolRun r = run(src + " -o " + out);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find(src + ":4: '1000' is outside 30..300"), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find(src + ":8: '9' is outside 1..4"), std::string::npos) << r.errors;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(CompilerTool, ChecksSeveralSourcesAndRejectsBadUsage)
{
    const auto good = write("a.style", kGood);
    const auto bad = write("b.style", "style 9\n");
    EXPECT_EQ(run("--check " + good).status, 0);
    const ToolRun r = run("--check " + good + " " + bad + " " + (m_dir / "missing.style").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("b.style:0: missing 'name'"), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find("missing.style: cannot read"), std::string::npos) << r.errors;
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run(good + " " + good).status, 2);
}

} // namespace
