// melodrift-stylec: compiles a style source into a style file of the library.
//
//   melodrift-stylec SOURCE -o OUTPUT.mds   compile one style
//   melodrift-stylec --check SOURCE...      report errors only
// Errors go to standard error as "SOURCE:LINE: message"; the exit code is 1
// when any source has errors (no output is written then), 2 for bad usage.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "StyleBuilder.h"
#include "core/StyleFile.h"
#include "StyleSourceParser.h"

namespace {

int usage()
{
    std::cerr << "usage: melodrift-stylec SOURCE -o OUTPUT.mds\n"
                 "       melodrift-stylec --check SOURCE...\n";
    return 2;
}

bool readText(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

// Parses and encodes one source; reports problems and returns nothing on error.
std::optional<stylec::CompiledStyle> compile(const std::string& path)
{
    std::string text;
    if (!readText(path, text)) {
        std::cerr << path << ": cannot read\n";
        return std::nullopt;
    }
    auto parsed = stylec::parseStyleSource(text);
    for (const auto& e : parsed.errors)
        std::cerr << path << ":" << e.line << ": " << e.message << "\n";
    if (!parsed.style)
        return std::nullopt;
    try {
        return stylec::compileStyle(*parsed.style);
    } catch (const krv::EncodeError& e) {
        std::cerr << path << ": " << e.what() << "\n";
        return std::nullopt;
    }
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--check") {
        if (args.size() < 2)
            return usage();
        int failed = 0;
        for (size_t i = 1; i < args.size(); ++i)
            failed += compile(args[i]) ? 0 : 1;
        return failed == 0 ? 0 : 1;
    }
    if (args.size() != 3 || args[1] != "-o")
        return usage();
    auto style = compile(args[0]);
    if (!style)
        return 1;
    if (!writeFile(args[2], melodrift::patbank::serializeStyleFile(style->info, style->data))) {
        std::cerr << args[2] << ": cannot write\n";
        return 1;
    }
    return 0;
}
