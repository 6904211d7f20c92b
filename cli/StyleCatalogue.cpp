#include "StyleCatalogue.h"

#include <cctype>
#include <cstring>

#include "CliError.h"
#include "EngineTables.h"
#include "Patbank.h"

namespace melodrift::cli {

namespace {

StyleEntry ToEntry(const tagStyleInfo& info)
{
    StyleEntry entry;
    entry.id = info.id;
    entry.name.assign(info.name, strnlen(info.name, sizeof info.name));
    entry.metre = info.metre;
    entry.tempo = info.tempo;
    for (int8_t code : info.categories) {
        if (code < 0)
            break;
        entry.categories.push_back(code);
    }
    return entry;
}

// The part of a name after its last non-ASCII byte: "流行八拍 Pop 8-Beat"
// gives " Pop 8-Beat".
std::string LatinPart(const std::string& name)
{
    size_t start = 0;
    for (size_t i = 0; i < name.size(); ++i)
        if (static_cast<unsigned char>(name[i]) >= 0x80)
            start = i + 1;
    return name.substr(start);
}

} // namespace

std::vector<StyleEntry> InstalledStyles(int metre)
{
    const auto& sm = Engines().sm;
    const int32_t selector = metre < 0 ? -1 : metre;
    int32_t count = 0;
    if (sm.SM_GetStyleInfos(selector, nullptr, &count) == -1 || count <= 0)
        return {};
    std::vector<tagStyleInfo> infos(static_cast<size_t>(count));
    if (sm.SM_GetStyleInfos(selector, infos.data(), &count) == -1)
        return {};
    std::vector<StyleEntry> styles;
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(infos.size()); ++i)
        if (infos[i].state == SF_STATE_INSTALLED && sm.SM_CheckStyle(infos[i].id))
            styles.push_back(ToEntry(infos[i]));
    return styles;
}

const char* CategoryName(int code)
{
    static const char* const kNames[] = {"pop",   "folk",  "rock",      "dance", "jazz",       "blues",
                                         "samba", "classical", "waltz", "indie", "country"};
    return code >= 0 && code <= 10 ? kNames[code] : "other";
}

std::string NameKey(const std::string& text)
{
    std::string key;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80)
            key += c;   // other scripts match byte for byte
        else if (std::isalnum(u))
            key += static_cast<char>(std::tolower(u));
    }
    return key;
}

const StyleEntry& FindStyle(const std::vector<StyleEntry>& styles, const std::string& text)
{
    const bool numeric = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos && text.size() < 10;
    const std::string key = NameKey(text);
    const StyleEntry* found = nullptr;
    for (const StyleEntry& style : styles) {
        const bool match = numeric ? std::to_string(style.id) == text
                                   : !key.empty() && (NameKey(style.name) == key || NameKey(LatinPart(style.name)) == key);
        if (!match)
            continue;
        if (found)
            Fail(kExitUsage, "style '" + text + "' is ambiguous; give its id (see: melodrift-cli styles)");
        found = &style;
    }
    if (!found)
        Fail(kExitUsage, "unknown style '" + text + "' (see: melodrift-cli styles)");
    return *found;
}

} // namespace melodrift::cli
