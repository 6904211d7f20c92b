#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ProgressDisplay.h"

namespace melodrift::cli {
namespace {

// Runs a sequence of reports against a display writing into memory.
std::string Render(bool terminal, const std::vector<int>& reports)
{
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    {
        ProgressDisplay display(out, terminal);
        display.Update(50);            // before Begin: ignored
        display.Begin("Writing");
        for (int r : reports)
            display.Update(r);
        display.End();
        display.End();                 // a second End adds nothing
    }
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

TEST(ProgressDisplay, PlainOutputIsOneLinePerQuarterAlwaysForward)
{
    EXPECT_EQ(Render(false, {3, 10, 26, 24, 60, 99, 140, -5}),
              "Writing ...\nWriting 25%\nWriting 50%\nWriting 75%\nWriting 100%\n");
    EXPECT_EQ(Render(false, {}), "Writing ...\nWriting 100%\n");
}

TEST(ProgressDisplay, TerminalRedrawsOneLineAndEndsItOnce)
{
    const std::string text = Render(true, {10, 10, 55});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 4) << "0, 10, 55, 100: a repeat is not redrawn";
    EXPECT_NE(text.find(" 55%"), std::string::npos);
    EXPECT_NE(text.find("[" + std::string(30, '#') + "] 100%\n"), std::string::npos);
}

} // namespace
} // namespace melodrift::cli
