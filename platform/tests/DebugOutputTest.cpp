#include "MelodriftPlatform.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

void collect(const char* line, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

class DebugOutput : public ::testing::Test {
protected:
    void SetUp() override { MDP_SetDebugSink(collect, &lines); }
    void TearDown() override { MDP_SetDebugSink(nullptr, nullptr); }
    std::vector<std::string> lines;
};

TEST_F(DebugOutput, PrefixesLocalTime)
{
    MDP_DebugOutput("Load %s OK", "libTonalyze.so");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\[\d\d:\d\d:\d\d\] Load libTonalyze\.so OK)"))) << lines[0];
}

TEST_F(DebugOutput, CutsLongLinesAtTheCap)
{
    std::string longText(30000, 'x');
    MDP_DebugOutput("%s", longText.c_str());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), static_cast<size_t>(MDP_DEBUG_LINE_MAX));
}

TEST_F(DebugOutput, RemovedSinkHearsNothing)
{
    MDP_SetDebugSink(nullptr, nullptr);
    MDP_DebugOutput("quiet");
    EXPECT_TRUE(lines.empty());
}

} // namespace
