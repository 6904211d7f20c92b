#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Glyphmint.h"
#include "TempFolder.h"

namespace {

struct Symbol {
    int n = 0;
    std::vector<uint8_t> modules;
    bool Dark(int row, int col) const { return modules[row * n + col] & 1; }
};

Symbol Encode(const std::string& text, int capacity = QR_MODULES_MAX)
{
    Symbol s;
    s.modules.assign(QR_MODULES_MAX, 0xEE);
    s.n = QR_Encode(text.c_str(), s.modules.data(), capacity);
    return s;
}

// The 7x7 finder pattern: dark ring, light ring, dark 3x3 core.
bool FinderAt(const Symbol& s, int top, int left)
{
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 7; ++c) {
            const bool ring = r == 0 || r == 6 || c == 0 || c == 6;
            const bool core = r >= 2 && r <= 4 && c >= 2 && c <= 4;
            if (s.Dark(top + r, left + c) != (ring || core))
                return false;
        }
    return true;
}

TEST(Glyphmint, SymbolHasFinderPatternsInThreeCorners)
{
    const Symbol s = Encode("http://127.0.0.1:12071/song/12345");
    ASSERT_GE(s.n, 21);
    EXPECT_EQ((s.n - 17) % 4, 0) << "a QR side is 17 + 4 * version";
    EXPECT_TRUE(FinderAt(s, 0, 0));
    EXPECT_TRUE(FinderAt(s, 0, s.n - 7));
    EXPECT_TRUE(FinderAt(s, s.n - 7, 0));
    EXPECT_FALSE(FinderAt(s, s.n - 7, s.n - 7));
    for (int i = 0; i < s.n * s.n; ++i)
        ASSERT_LE(s.modules[i], 1) << "only bit 0 carries the module";
    EXPECT_EQ(s.modules[s.n * s.n], 0xEE) << "nothing written past n * n";
}

TEST(Glyphmint, LongerTextNeedsLargerSymbol)
{
    EXPECT_LT(Encode("a").n, Encode(std::string(300, 'x')).n);
}

TEST(Glyphmint, RefusesWhatItCannotDo)
{
    uint8_t buffer[16];
    EXPECT_EQ(QR_Encode(nullptr, buffer, sizeof buffer), 0);
    EXPECT_EQ(QR_Encode("abc", nullptr, 100), 0);
    EXPECT_EQ(QR_Encode("", buffer, sizeof buffer), 0);
    // A 21 x 21 symbol does not fit 16 bytes: refused rather than overrun.
    EXPECT_EQ(QR_Encode("abc", buffer, sizeof buffer), 0);
    // 10,000 bytes hold symbols up to 97 x 97 only; a long text is refused.
    const Symbol big = Encode(std::string(2000, 'z'), 10000);
    EXPECT_EQ(big.n, 0);
    EXPECT_EQ(big.modules[0], 0xEE);
    EXPECT_EQ(Encode(std::string(8000, 'z')).n, 0) << "beyond the largest symbol";
}

// Decodes the symbol with zbarimg when that tool is installed.
TEST(Glyphmint, SymbolDecodesToTheText)
{
    if (std::system("command -v zbarimg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "zbarimg not installed";
    const std::string text = "http://example.invalid/song/9876";
    const Symbol s = Encode(text);
    ASSERT_GT(s.n, 0);
    const int scale = 4, quiet = 4, side = (s.n + 2 * quiet) * scale;
    const melodrift::testsupport::TempFolder folder("glyphmint");
    const auto path = folder.Path() / "symbol.pgm";
    {
        std::ofstream out(path, std::ios::binary);
        out << "P5\n" << side << " " << side << "\n255\n";
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int r = y / scale - quiet, c = x / scale - quiet;
                const bool dark = r >= 0 && c >= 0 && r < s.n && c < s.n && s.Dark(r, c);
                out.put(dark ? 0 : static_cast<char>(255));
            }
    }
    std::string decoded;
    const std::string cmd = "zbarimg --raw -q " + path.string();
    if (FILE* pipe = popen(cmd.c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, pipe))
            decoded += line;
        pclose(pipe);
    }
    while (!decoded.empty() && (decoded.back() == '\n' || decoded.back() == '\r'))
        decoded.pop_back();
    EXPECT_EQ(decoded, text);
}

} // namespace
