#pragma once

// The command line of one subcommand: positional arguments and --options,
// and the checked values the subcommands share (tempo, metre, key).

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace melodrift::cli {

struct OptionSpec {
    std::string name;        // "--tempo"
    std::string shortName;   // "-o" or ""
    bool takesValue = true;
};

struct ParsedArguments {
    std::vector<std::string> positionals;
    std::map<std::string, std::string> options;  // by long name; flags map to ""
    bool help = false;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const;
};

// args excludes the program and subcommand names. Accepts "--name value",
// "--name=value" and "-o value"; "--" ends the options. Throws CliError
// (usage) for unknown options, missing values and repeated options.
ParsedArguments ParseArguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

// Tempo in beats a minute, 50..200.
int ParseTempo(const std::string& text);
// "4/4", "3/4", "2/4", "6/8" to the metre code 0..3.
int ParseMetre(const std::string& text);
// A key name to 0..11: "C", "F#", "#F", "Bb", "bB", "Eb" ...
int ParseKey(const std::string& text);

constexpr int kMinTempo = 50;
constexpr int kMaxTempo = 200;

} // namespace melodrift::cli
