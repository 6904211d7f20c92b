#include "MelodriftPlatform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string fileName(const char* name)
{
    char buf[256];
    size_t needed = MDP_LibraryFileName(name, buf, sizeof buf);
    EXPECT_EQ(needed, std::string(buf).size());
    return buf;
}

TEST(LibraryLoader, MapsProgramNamesToSharedObjectNames)
{
    struct Case {
        const char* given;
        const char* expected;
    } cases[] = {
        {"Tonalyze.dll", "libTonalyze.so"},
        {"Tonalyze.DLL", "libTonalyze.so"},
        {"Tonalyze", "libTonalyze.so"},
        {"libTonalyze.so", "libTonalyze.so"},
        {"/opt/x/Patbank.dll", "/opt/x/libPatbank.so"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fileName(c.given), c.expected) << c.given;
}

TEST(LibraryLoader, FileNameIsCutToCapacity)
{
    char buf[5] = "xxxx";
    EXPECT_EQ(MDP_LibraryFileName("Tonalyze.dll", buf, sizeof buf), 14u);
    EXPECT_STREQ(buf, "libT");
}

TEST(LibraryLoader, LoadsLibraryBesideItselfByName)
{
    char error[512] = "";
    void* lib = MDP_LoadLibrary("PlatformProbe.dll", error, sizeof error);
    ASSERT_NE(lib, nullptr) << error;
    auto answer = reinterpret_cast<int (*)()>(MDP_GetSymbol(lib, "PP_Answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(MDP_GetSymbol(lib, "PP_Missing"), nullptr);
    MDP_FreeLibrary(lib);
}

TEST(LibraryLoader, MissingLibraryGivesReason)
{
    char error[512] = "";
    EXPECT_EQ(MDP_LoadLibrary("NoSuchMelodriftLibrary.dll", error, sizeof error), nullptr);
    EXPECT_NE(std::string(error).find("libNoSuchMelodriftLibrary.so"), std::string::npos) << error;
    EXPECT_EQ(MDP_LoadLibrary(nullptr, error, sizeof error), nullptr);
    EXPECT_EQ(MDP_GetSymbol(nullptr, "x"), nullptr);
    MDP_FreeLibrary(nullptr);
}

} // namespace
