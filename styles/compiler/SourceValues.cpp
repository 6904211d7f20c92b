#include "SourceValues.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>

#include "StyleSource.h"

namespace stylec {

namespace {

template <typename T>
std::optional<T> fail(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
    return std::nullopt;
}

const std::map<std::string, uint8_t>& drumNames()
{
    static const std::map<std::string, uint8_t> names = {
        {"kick", 36}, {"rim", 37}, {"snare", 38}, {"clap", 39}, {"lowtom", 45}, {"hat", 42},
        {"pedalhat", 44}, {"openhat", 46}, {"midtom", 47}, {"hightom", 50}, {"crash", 49},
        {"ride", 51}, {"tambourine", 54}, {"cowbell", 56}, {"shaker", 70}};
    return names;
}

} // namespace

std::optional<std::vector<std::string>> splitWords(const std::string& line, std::string* error)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string word;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size())
                    ++i;
                word += line[i];
            }
            if (i >= line.size())
                return fail<std::vector<std::string>>(error, "unterminated quoted text");
            ++i;
            words.push_back(word);
        } else {
            const size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                ++i;
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

std::optional<long> parseInteger(const std::string& text, long low, long high, std::string* error)
{
    char* end = nullptr;
    errno = 0;
    const long v = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0)
        return fail<long>(error, "'" + text + "' is not a number");
    if (v < low || v > high)
        return fail<long>(error, "'" + text + "' is outside " + std::to_string(low) + ".." + std::to_string(high));
    return v;
}

std::optional<uint8_t> parsePitch(const std::string& text, std::string* error)
{
    if (auto drum = drumNames().find(text); drum != drumNames().end())
        return drum->second;
    if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0])) != 0) {
        auto v = parseInteger(text, 0, 127, error);
        return v ? std::optional<uint8_t>(static_cast<uint8_t>(*v)) : std::nullopt;
    }
    static const int classes[] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    const char letter = static_cast<char>(std::toupper(text.empty() ? 0 : static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G')
        return fail<uint8_t>(error, "'" + text + "' is not a pitch");
    int pc = classes[letter - 'A'];
    size_t i = 1;
    if (i < text.size() && (text[i] == '#' || text[i] == 'b'))
        pc += text[i++] == '#' ? 1 : -1;
    std::string octaveError;
    auto octave = parseInteger(text.substr(i), -1, 9, &octaveError);
    if (!octave)
        return fail<uint8_t>(error, "'" + text + "' is not a pitch");
    const long midi = (*octave + 1) * 12 + pc;
    if (midi < 0 || midi > 127)
        return fail<uint8_t>(error, "'" + text + "' is outside the MIDI range");
    return static_cast<uint8_t>(midi);
}

std::optional<uint32_t> parseDuration(const std::string& text, std::string* error)
{
    const std::string bad = "'" + text + "' is not a duration (use N/M, Nb or Nt)";
    if (text.size() < 2)
        return fail<uint32_t>(error, bad);
    const char unit = text.back();
    std::string ignored;
    if (unit == 'b' || unit == 't') {
        auto n = parseInteger(text.substr(0, text.size() - 1), 1, 65535, &ignored);
        if (!n)
            return fail<uint32_t>(error, bad);
        return static_cast<uint32_t>(*n) * (unit == 'b' ? kTicksPerBeat : 1);
    }
    const size_t slash = text.find('/');
    if (slash == std::string::npos)
        return fail<uint32_t>(error, bad);
    auto num = parseInteger(text.substr(0, slash), 1, 64, &ignored);
    auto den = parseInteger(text.substr(slash + 1), 1, 768, &ignored);
    if (!num || !den)
        return fail<uint32_t>(error, bad);
    if ((*num * 4 * kTicksPerBeat) % *den != 0)
        return fail<uint32_t>(error, "'" + text + "' is not a whole number of ticks");
    return static_cast<uint32_t>(*num * 4 * kTicksPerBeat / *den);
}

std::optional<std::vector<uint32_t>> parsePosition(const std::string& text, int metre, int segmentBars,
                                                   std::string* error)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return fail<std::vector<uint32_t>>(error, "'" + text + "' is not a position (BAR:BEAT[:TICK])");
    const std::string bars = text.substr(0, colon);
    std::string rest = text.substr(colon + 1);
    std::string tickText = "0";
    if (const size_t second = rest.find(':'); second != std::string::npos) {
        tickText = rest.substr(second + 1);
        rest = rest.substr(0, second);
    }
    long first = 1, last = segmentBars;
    if (bars != "*") {
        const size_t dash = bars.find('-');
        auto a = parseInteger(bars.substr(0, dash), 1, segmentBars, error);
        auto b = dash == std::string::npos ? a : parseInteger(bars.substr(dash + 1), 1, segmentBars, error);
        if (!a || !b)
            return std::nullopt;
        if (*b < *a)
            return fail<std::vector<uint32_t>>(error, "bar range '" + bars + "' runs backwards");
        first = *a;
        last = *b;
    }
    auto beat = parseInteger(rest, 1, beatsPerBar(metre), error);
    auto tick = beat ? parseInteger(tickText, 0, kTicksPerBeat - 1, error) : std::nullopt;
    if (!beat || !tick)
        return std::nullopt;
    std::vector<uint32_t> ticks;
    for (long bar = first; bar <= last; ++bar)
        ticks.push_back(static_cast<uint32_t>((bar - 1) * barTicks(metre) + (*beat - 1) * kTicksPerBeat + *tick));
    return ticks;
}

} // namespace stylec
