#include <gtest/gtest.h>

#include "ArgumentParser.h"
#include "CliError.h"

namespace melodrift::cli {
namespace {

const std::vector<OptionSpec> kSpecs = {{"--tempo", "", true}, {"--json", "", false}, {"--output", "-o", true}};

TEST(ArgumentParser, SplitsPositionalsOptionsAndFlagsInEveryShape)
{
    const ParsedArguments p =
        ParseArguments({"take.wav", "--tempo", "90", "-o", "out.mp3", "--json", "--", "-odd.wav"}, kSpecs);
    EXPECT_EQ(p.positionals, (std::vector<std::string>{"take.wav", "-odd.wav"}));
    EXPECT_EQ(p.Get("--tempo"), "90");
    EXPECT_EQ(p.Get("--output"), "out.mp3") << "the short name stores under the long one";
    EXPECT_TRUE(p.Has("--json"));
    EXPECT_FALSE(p.help);

    const ParsedArguments q = ParseArguments({"--tempo=120", "--help"}, kSpecs);
    EXPECT_EQ(q.Get("--tempo"), "120");
    EXPECT_TRUE(q.help);
    EXPECT_EQ(ParseArguments({"-"}, kSpecs).positionals, std::vector<std::string>{"-"}) << "a lone dash is a name";
}

TEST(ArgumentParser, RefusesMalformedCommandLinesAsUsageErrors)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--tempo"},                  // value missing
        {"--colour", "red"},          // unknown
        {"--tempo", "1", "--tempo", "2"},
        {"--json=yes"},               // flag with a value
        {"-x"},
    };
    for (const auto& args : bad) {
        try {
            ParseArguments(args, kSpecs);
            ADD_FAILURE() << "accepted " << args[0];
        } catch (const CliError& e) {
            EXPECT_EQ(e.Code(), kExitUsage) << args[0];
        }
    }
}

TEST(ArgumentParser, TempoIsAWholeNumberWithinTheSongRange)
{
    EXPECT_EQ(ParseTempo("50"), 50);
    EXPECT_EQ(ParseTempo("200"), 200);
    for (const char* bad : {"49", "201", "", "9x", "-100", "120.5", "99999999999999"})
        EXPECT_THROW(ParseTempo(bad), CliError) << bad;
}

TEST(ArgumentParser, MetreNamesMapToTheirCodes)
{
    const std::pair<const char*, int> cases[] = {{"4/4", 0}, {"3/4", 1}, {"2/4", 2}, {"6/8", 3}};
    for (const auto& [text, code] : cases)
        EXPECT_EQ(ParseMetre(text), code) << text;
    for (const char* bad : {"5/4", "4", "", "4/4 ", "12/8"})
        EXPECT_THROW(ParseMetre(bad), CliError) << bad;
}

TEST(ArgumentParser, KeysAcceptSharpsAndFlatsOnEitherSide)
{
    const std::pair<const char*, int> cases[] = {{"C", 0},  {"c", 0},  {"F#", 6}, {"#F", 6}, {"Bb", 10},
                                                 {"bB", 10}, {"Eb", 3}, {"B", 11}, {"Cb", 11}, {"B#", 0},
                                                 {"bD", 1},  {"G", 7},  {"b", 11}};
    for (const auto& [text, key] : cases)
        EXPECT_EQ(ParseKey(text), key) << text;
    for (const char* bad : {"H", "", "C##", "Cm", "#", "Bbb", "X#", "bH"})
        EXPECT_THROW(ParseKey(bad), CliError) << bad;
}

} // namespace
} // namespace melodrift::cli
