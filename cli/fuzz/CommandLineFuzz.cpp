// The command line is text from outside: split into words, it must parse or
// be refused with a CliError, never crash.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ArgumentParser.h"
#include "CliError.h"
#include "SongFormText.h"

using namespace melodrift::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == '\0') {
            words.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    const std::vector<OptionSpec> specs = {{"--tempo", "", true}, {"--json", "", false}, {"--output", "-o", true}};
    try {
        ParseArguments(words, specs);
    } catch (const CliError&) {
    }
    for (const std::string& word : words) {
        try { ParseTempo(word); } catch (const CliError&) {}
        try { ParseMetre(word); } catch (const CliError&) {}
        try { ParseKey(word); } catch (const CliError&) {}
        try { ParseSongForm(word); } catch (const CliError&) {}
    }
    return 0;
}
