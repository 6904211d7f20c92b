// Reading style sources: values, statements, and errors with their lines.
#include <gtest/gtest.h>

#include "SourceValues.h"
#include "StyleSourceParser.h"

namespace stylec {
namespace {

const char* kMinimal = R"(style 77
name "Tiny \"Test\""   # a comment
author "Mé 作者"
metre 3/4
tempo 90
categories 2 11
featured
main 0 bars 2
  group major
    track channel 2 program 24
      *:2 note C3 E3 70 1/4
      2:3:96 cc 7 100
  drums
    track channel 10
      1:1 note kick 100 1/16
)";

TEST(SourceValues, ReadsPitches)
{
    const std::pair<const char*, int> good[] = {{"C4", 60}, {"c4", 60}, {"A4", 69}, {"C#4", 61}, {"Db4", 61},
                                                {"Cb4", 59}, {"C-1", 0}, {"G9", 127}, {"B#3", 60}, {"0", 0},
                                                {"127", 127}, {"kick", 36}, {"openhat", 46}};
    for (const auto& [text, midi] : good) {
        std::string why;
        auto p = parsePitch(text, &why);
        ASSERT_TRUE(p) << text << ": " << why;
        EXPECT_EQ(*p, midi) << text;
    }
    for (const char* text : {"H4", "C10", "G#9", "Cb-1", "128", "", "C", "C4x", "kik", "-1"})
        EXPECT_FALSE(parsePitch(text, nullptr)) << text;
}

TEST(SourceValues, ReadsDurations)
{
    const std::pair<const char*, uint32_t> good[] = {{"1/4", 192}, {"1/1", 768}, {"3/8", 288}, {"1/16", 48},
                                                     {"1/3", 256}, {"2b", 384}, {"96t", 96}, {"64/1", 49152}};
    for (const auto& [text, ticks] : good)
        EXPECT_EQ(parseDuration(text, nullptr), std::optional<uint32_t>(ticks)) << text;
    for (const char* text : {"1", "4", "0/4", "1/0", "1/7", "0b", "t", "b", "1/4.", "-1/4", "x/4", "65536t"})
        EXPECT_FALSE(parseDuration(text, nullptr)) << text;
}

TEST(SourceValues, ReadsPositionsAndBarRanges)
{
    struct Case {
        const char* text;
        int metre;
        std::vector<uint32_t> ticks;
    };
    const Case good[] = {
        {"1:1", 0, {0}},
        {"2:3:96", 0, {768 + 384 + 96}},
        {"2:3", 1, {576 + 384}},
        {"1-3:2", 2, {192, 384 + 192, 768 + 192}},
        {"*:1", 3, {0, 576, 1152, 1728}},
    };
    for (const auto& c : good)
        EXPECT_EQ(parsePosition(c.text, c.metre, 4, nullptr), std::optional<std::vector<uint32_t>>(c.ticks))
            << c.text;
    for (const char* text : {"1", "0:1", "5:1", "1:0", "1:5", "1:1:192", "3-2:1", "1-9:1", "x:1", "1:1:1:1"})
        EXPECT_FALSE(parsePosition(text, 0, 4, nullptr)) << text;
    EXPECT_FALSE(parsePosition("1:4", 1, 4, nullptr)); // 3/4 has three beats
}

TEST(SourceValues, SplitsWordsQuotesAndComments)
{
    EXPECT_EQ(splitWords("  a  \"b c\" d#e # f", nullptr), std::optional<std::vector<std::string>>({"a", "b c", "d"}));
    EXPECT_EQ(splitWords("x \"q\\\"q\\\\\"", nullptr), std::optional<std::vector<std::string>>({"x", "q\"q\\"}));
    EXPECT_EQ(splitWords("\"#\" # c", nullptr), std::optional<std::vector<std::string>>({"#"}));
    EXPECT_FALSE(splitWords("name \"open", nullptr));
}

TEST(StyleSource, ReadsAMinimalStyle)
{
    auto r = parseStyleSource(kMinimal);
    ASSERT_TRUE(r.style) << (r.errors.empty() ? "" : r.errors[0].message);
    const auto& s = *r.style;
    EXPECT_EQ(s.id, 77);
    EXPECT_EQ(s.name, "Tiny \"Test\"");
    EXPECT_EQ(s.author, "Mé 作者");
    EXPECT_EQ(s.metre, 1);
    EXPECT_EQ(s.tempo, 90);
    EXPECT_EQ(s.categories, (std::vector<int>{2, 11}));
    EXPECT_TRUE(s.featured);
    ASSERT_EQ(s.segments.size(), 1u);
    const auto& seg = s.segments[0];
    EXPECT_EQ(seg.bars, 2);
    ASSERT_EQ(seg.groups[0].size(), 1u);
    const auto& t = seg.groups[0][0];
    EXPECT_EQ(t.channel, 1);
    EXPECT_EQ(t.program, 24);
    // Two pitches in each of two bars, beat 2.
    ASSERT_EQ(t.notes.size(), 4u);
    EXPECT_EQ(t.notes[0].start, 192u);
    EXPECT_EQ(t.notes[0].end, 384u);
    EXPECT_EQ(t.notes[1].start, 576u + 192u);
    EXPECT_EQ(t.notes[2].pitch, 52);
    ASSERT_EQ(t.controls.size(), 1u);
    EXPECT_EQ(t.controls[0].tick, 576u + 384u + 96u);
    ASSERT_TRUE(seg.drums);
    EXPECT_EQ(seg.drums->channel, 9);
    EXPECT_EQ(seg.drums->program, -1);
}

// Each case appends or replaces lines of the minimal style; the error must
// name the right line and say what is wrong.
TEST(StyleSource, ReportsErrorsWithTheirLines)
{
    struct Case {
        std::string source;
        int line;
        const char* message;
    };
    const std::string head = "style 5\nname \"n\"\nmetre 4/4\ntempo 100\n";
    const std::string seg = "main 0 bars 1\n  group major\n    track channel 1 program 0\n";
    const Case cases[] = {
        {"name \"x\"\nstyle 5\n", 1, "must start with 'style"},
        {head + "tempo 500\n", 5, "outside 30..300"},
        {head + "metre 5/4\n", 5, "metre must be"},
        {head + "colour red\n", 5, "unknown statement"},
        {head + "name \"" + std::string(40, 'n') + "\"\n", 5, "longer than 39"},
        {head + "categories 1 2 3 4 5\n", 5, "takes 1..4 values"},
        {head + "author \"a\xff\"\n", 5, "not valid UTF-8"},
        {head + "description \"\xc3\"\n", 5, "not valid UTF-8"},
        {head + "name \"\xc0\xaf\"\n", 5, "not valid UTF-8"},      // overlong '/'
        {head + "name \"\xed\xa0\x80\"\n", 5, "not valid UTF-8"},  // surrogate
        {"style 5\nname \"n\"\ntempo 100\nmain 0 bars 1\n", 4, "'metre' must come before"},
        {head + "main 0 bars 1\nmain 0 bars 2\n", 6, "defined twice"},
        {head + "intro 8 bars 1\n", 5, "outside 0..7"},
        {head + "main 0 bars 86\n", 5, "outside 1..85"},
        {head + "main 0\n", 5, "a segment is"},
        {head + "group major\n", 5, "outside a segment"},
        {head + "main 0 bars 1\n  track channel 1\n", 6, "outside a group"},
        {head + "main 0 bars 1\n  group sus4\n", 6, "a group is major"},
        {head + "intro 0 bars 1\n  group dom7\n", 6, "major or minor"},
        {head + "intro 0 bars 1\n  drums\n", 6, "no drums part"},
        {head + seg + "  drums\n    track channel 10\n    track channel 10\n", 10, "holds one track"},
        {head + seg + "1:1 note C4 80 1/1\n1:4:96 note D4 80 1/4\n", 9, "ends after the segment"},
        {head + seg + "1:1 note C4 80 1/2\n1:2 note C4 80 1/8\n", 9, "overlaps the one on line 8"},
        {head + seg + "1:1 note C4 0 1/4\n", 8, "outside 1..127"},
        {head + seg + "1:1 note X4 80 1/4\n", 8, "not a pitch"},
        {head + seg + "1:1 note C4 80 1\n", 8, "not a duration"},
        {head + seg + "1:1 cc 20 1\n", 8, "ignored by the composer"},
        {head + seg + "1:1 wobble 1\n", 8, "unknown event"},
        {head + seg + "2:1 cc 7 1\n", 8, "outside 1..1"},
        {head + "main 0 bars 1\n  group major\n    track channel 1 program 25\n1:1 note 39 80 1/4\n", 8,
         "outside 40..90"},
        {head + "main 0 bars 1\n  group major\n    track channel 1 program 31\n1:1 note G6 80 1/4\n", 8,
         "outside 40..90"},
        {head + "main 0 bars 1\n  group minor\n    track channel 1\n", 5, "no major group"},
        {head + "intro 0 bars 1\n  group major\n    track channel 1\n", 5, "minor group too"},
        {head + "fill 0 bars 1\n  group major\n    track channel 1\n", 0, "at least one main"},
        {head + "1:1 note C4 80 1/4\n", 5, "outside a track"},
        {head + "name \"open\n", 5, "unterminated"},
        {"", 0, "empty"},
    };
    for (const auto& c : cases) {
        auto r = parseStyleSource(c.source);
        EXPECT_FALSE(r.style) << c.source;
        ASSERT_FALSE(r.errors.empty()) << c.source;
        bool found = false;
        for (const auto& e : r.errors)
            found = found || (e.line == c.line && e.message.find(c.message) != std::string::npos);
        EXPECT_TRUE(found) << "wanted line " << c.line << " '" << c.message << "', first was line "
                           << r.errors[0].line << " '" << r.errors[0].message << "' in:\n" << c.source;
    }
}

TEST(StyleSource, ReportsEveryErrorInLineOrder)
{
    const std::string source = "style 5\ntempo 20\nmetre 4/4\nmain 0 bars 1\n  group major\n"
                               "    track channel 17\n    track channel 1\n1:1 note C4 200 1/4\n";
    auto r = parseStyleSource(source);
    ASSERT_FALSE(r.style);
    std::vector<int> lines;
    for (const auto& e : r.errors)
        lines.push_back(e.line);
    // Whole-file errors (missing name and tempo) first, then lines 2, 6, 8.
    EXPECT_EQ(lines, (std::vector<int>{0, 0, 2, 6, 8}));
}

TEST(StyleSource, StopsAfterAFixedNumberOfErrors)
{
    std::string source = "style 5\n";
    for (int i = 0; i < 200; ++i)
        source += "bogus\n";
    EXPECT_EQ(parseStyleSource(source).errors.size(), kMaxErrors);
}

} // namespace
} // namespace stylec
