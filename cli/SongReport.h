#pragma once

// What the program tells about a song as it is made: the notes, key, chords
// per bar, sections and song form, as text or as JSON.

#include <cstdio>
#include <string>

namespace melodrift {
class TSongModel;
}

namespace melodrift::cli {

struct Recognition;

void PrintRecognition(std::FILE* out, const Recognition& r, int metre);
void PrintRecognitionJson(std::FILE* out, const Recognition& r, const std::string& take, int tempo, int metre);
void PrintChords(std::FILE* out, const TSongModel& song);
void PrintSections(std::FILE* out, const TSongModel& song);
void PrintSongForm(std::FILE* out, const TSongModel& song);

// A JSON string literal with the quotes.
std::string JsonString(const std::string& text);

} // namespace melodrift::cli
