// Every shared library exports exactly the C functions its header declares:
// a declared function missing from the library fails the program's binding
// at run time, and anything more (the standard library's weak template code
// above all) clashes between libraries loaded into one process.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> DeclaredFunctions(const std::string& header)
{
    std::ifstream in(std::string(MELODRIFT_INCLUDE_DIR) + "/" + header);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    std::set<std::string> names;
    static const std::regex declaration(R"(MELODRIFT_(?:API|EXPORT)[^;(]*?([A-Za-z_]\w*)\s*\()");
    for (auto it = std::sregex_iterator(all.begin(), all.end(), declaration); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

// Defined dynamic symbols, as the dynamic loader offers them.
std::set<std::string> ExportedSymbols(const std::string& library, std::string& error)
{
    const std::string command = "nm -D --defined-only '" + library + "' 2>&1";
    std::set<std::string> names;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        error = "cannot run nm";
        return names;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name)
            names.insert(name);
        else
            error += line;
    }
    if (::pclose(pipe) != 0)
        error += "nm failed on " + library;
    return names;
}

TEST(LibraryExports, EveryLibraryExportsWhatItsHeaderDeclaresAndNothingElse)
{
    const char* bin = std::getenv("MELODRIFT_BIN_DIR");
    ASSERT_NE(bin, nullptr) << "the test runner names the program folder";
    const struct {
        const char* library;
        const char* header;
    } libraries[] = {
        {"MelodriftPlatform", "MelodriftPlatform.h"}, {"Tonalyze", "Tonalyze.h"}, {"Pitchlore", "Pitchlore.h"},
        {"Tunescan", "Tunescan.h"},   {"Patbank", "Patbank.h"}, {"Arrangix", "Arrangix.h"},
        {"Glyphmint", "Glyphmint.h"}, {"Sonobox", "Sonobox.h"}, {"Tidelink", "Tidelink.h"},
    };
    for (const auto& l : libraries) {
        SCOPED_TRACE(l.library);
        const std::set<std::string> declared = DeclaredFunctions(l.header);
        EXPECT_FALSE(declared.empty()) << l.header;
        std::string error;
        const std::set<std::string> exported =
            ExportedSymbols(std::string(bin) + "/lib" + l.library + ".so", error);
        ASSERT_TRUE(error.empty()) << error;
        EXPECT_EQ(exported, declared);
    }
}

} // namespace
