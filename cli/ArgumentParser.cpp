#include "ArgumentParser.h"

#include <cctype>
#include <charconv>

#include "CliError.h"
#include "Vocabulary.h"

namespace melodrift::cli {

std::optional<std::string> ParsedArguments::Get(const std::string& name) const
{
    const auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

namespace {

const OptionSpec* FindSpec(const std::vector<OptionSpec>& specs, const std::string& name)
{
    for (const OptionSpec& spec : specs)
        if (spec.name == name || (!spec.shortName.empty() && spec.shortName == name))
            return &spec;
    return nullptr;
}

void Store(ParsedArguments& parsed, const OptionSpec& spec, const std::string& value)
{
    if (!parsed.options.emplace(spec.name, value).second)
        Fail(kExitUsage, "option " + spec.name + " given twice");
}

} // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = FindSpec(specs, name);
        if (!spec)
            Fail(kExitUsage, "unknown option " + name);
        if (!spec->takesValue) {
            if (equals != std::string::npos)
                Fail(kExitUsage, "option " + spec->name + " takes no value");
            Store(parsed, *spec, "");
        } else if (equals != std::string::npos) {
            Store(parsed, *spec, arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            Store(parsed, *spec, args[++i]);
        } else {
            Fail(kExitUsage, "option " + spec->name + " needs a value");
        }
    }
    return parsed;
}

int ParseTempo(const std::string& text)
{
    int tempo = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), tempo);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        Fail(kExitUsage, "tempo '" + text + "' is not a whole number");
    if (tempo < kMinTempo || tempo > kMaxTempo)
        Fail(kExitUsage, "tempo " + text + " is out of range (" + std::to_string(kMinTempo) + " to " +
                             std::to_string(kMaxTempo) + " beats a minute)");
    return tempo;
}

int ParseMetre(const std::string& text)
{
    for (int metre = 0; metre < kMetreCount; ++metre)
        if (text == MetreName(metre))
            return metre;
    Fail(kExitUsage, "metre '" + text + "' is not one of 4/4, 3/4, 2/4, 6/8");
}

int ParseKey(const std::string& text)
{
    static const std::string kNaturals = "C_D_EF_G_A_B";
    // The accidental may stand before the letter ("bE", the program's own
    // spelling) or after it ("Eb", "F#").
    std::string accidental;
    std::string letter;
    if (text.size() == 2 && (text[0] == 'b' || text[0] == '#')) {
        accidental = text.substr(0, 1);
        letter = text.substr(1);
    } else if (!text.empty()) {
        letter = text.substr(0, 1);
        accidental = text.substr(1);
    }
    const char upper = letter.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0]))) : '_';
    const size_t at = kNaturals.find(upper);
    if (upper == '_' || at == std::string::npos || !(accidental.empty() || accidental == "#" || accidental == "b"))
        Fail(kExitUsage, "key '" + text + "' is not a key name such as C, F#, Bb");
    const int shift = accidental == "#" ? 1 : accidental == "b" ? -1 : 0;
    return (static_cast<int>(at) + shift + kKeyCount) % kKeyCount;
}

} // namespace melodrift::cli
