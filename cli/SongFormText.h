#pragma once

// The song form as text: "i1 A B i2 A B o1" is intro 1, melody sections A
// and B, interlude 2, A and B again, outro 1. Intros and interludes share
// ids 1..4 (the first entry plays as an intro), outros have ids 1..4.

#include <string>
#include <vector>

namespace melodrift {
class TSongModel;
}

namespace melodrift::cli {

// One entry as typed: the song-form reference it stands for.
struct FormToken {
    int ref = 0;   // melody section index, or 256 + id (intro), 272 + id (outro)
    bool operator==(const FormToken&) const = default;
};

// Throws CliError (usage) for an empty form or a token that is none of
// i1..i4, o1..o4 or a section letter A..Z.
std::vector<FormToken> ParseSongForm(const std::string& text);

// The song form of the model written back in the same notation.
std::string FormatSongForm(const TSongModel& song);

// Replaces the model's song form with the typed one. Throws CliError
// (usage) when a section or a segment does not exist for this take and style.
void ApplySongForm(TSongModel& song, const std::vector<FormToken>& tokens);

} // namespace melodrift::cli
