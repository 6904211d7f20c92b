#pragma once

// The installed styles as the composer lists them, and finding one by the
// id or name a user typed.

#include <string>
#include <vector>

namespace melodrift::cli {

struct StyleEntry {
    int id = 0;
    std::string name;
    int metre = 0;
    int tempo = 0;
    std::vector<int> categories;   // music type codes, primary first
};

// Styles that can be composed with, in library order; metre -1 for all.
std::vector<StyleEntry> InstalledStyles(int metre);

// English name of a music type code ("pop", "folk" ...; "other" above 10).
const char* CategoryName(int code);

// Finds a style by id or by name. Names match ignoring case, spaces and
// punctuation, against the whole name or its Latin part ("pop 8-beat").
// Throws CliError (usage) when nothing or more than one style matches.
const StyleEntry& FindStyle(const std::vector<StyleEntry>& styles, const std::string& text);

// Letters and digits of the text, lower case, for name matching.
std::string NameKey(const std::string& text);

} // namespace melodrift::cli
