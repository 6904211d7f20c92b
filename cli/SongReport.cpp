#include "SongReport.h"

#include "Pipeline.h"
#include "SongFormText.h"
#include "SongMaker.h"
#include "SongModel.h"
#include "Vocabulary.h"

namespace melodrift::cli {

namespace {

std::string Beats(double beats)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", beats);
    return text;
}

std::string KeyText(const Recognition& r)
{
    std::string text = KeyName(r.key);
    if (r.detectedKey < 0)
        text += " (the recogniser could not decide; C is used)";
    else if (r.detectedKey != r.key)
        text += std::string(" (recognised ") + KeyName(r.detectedKey) + ")";
    return text;
}

} // namespace

void PrintRecognition(std::FILE* out, const Recognition& r, int metre)
{
    std::fprintf(out, "Key: %s\n", KeyText(r).c_str());
    std::fprintf(out, "Bars: %d (%s)\n", r.bars, MetreName(metre));
    std::fprintf(out, "Notes: %d sung, %zu with rests\n", r.pitchedNotes, r.notes.size());
    for (const RecognisedNote& note : r.notes)
        std::fprintf(out, "  %-5s %s\n", NoteName(note.pitch).c_str(), Beats(note.beats).c_str());
}

void PrintRecognitionJson(std::FILE* out, const Recognition& r, const std::string& take, int tempo, int metre)
{
    std::fprintf(out, "{\n  \"take\": %s,\n  \"tempo\": %d,\n  \"metre\": \"%s\",\n", JsonString(take).c_str(), tempo,
                 MetreName(metre));
    std::fprintf(out, "  \"key\": %s,\n  \"keyIndex\": %d,\n  \"detectedKeyIndex\": %d,\n",
                 JsonString(KeyName(r.key)).c_str(), r.key, r.detectedKey);
    // Starts in beats count from the first bar after the lead-in; in seconds
    // from the start of the file, so other tools can line notes up with it.
    const double leadInBeats = static_cast<double>(r.leadInBars) * BeatsPerBar(metre);
    const double secondsPerBeat = 60.0 / tempo;
    std::fprintf(out, "  \"bars\": %d,\n  \"leadInBars\": %d,\n  \"leadInSeconds\": %s,\n  \"notes\": [", r.bars,
                 r.leadInBars, Beats(leadInBeats * secondsPerBeat).c_str());
    double start = 0;
    for (size_t i = 0; i < r.notes.size(); ++i) {
        const RecognisedNote& note = r.notes[i];
        std::fprintf(out,
                     "%s\n    {\"name\": %s, \"midi\": %s, \"beats\": %s, \"startBeats\": %s, \"startSeconds\": %s}",
                     i ? "," : "", JsonString(NoteName(note.pitch)).c_str(),
                     note.pitch < 0 ? "null" : std::to_string(note.pitch).c_str(), Beats(note.beats).c_str(),
                     Beats(start).c_str(), Beats((leadInBeats + start) * secondsPerBeat).c_str());
        start += note.beats;
    }
    std::fprintf(out, "\n  ]\n}\n");
}

void PrintChords(std::FILE* out, const TSongModel& song)
{
    std::fprintf(out, "Chords per bar:");
    for (size_t b = 0; b < song.bars.size(); ++b) {
        const tagMelodyBar& bar = song.bars[b];
        std::string chords = ChordName(bar.chords[0], song.key);
        if (bar.chords[1] >= 0)
            chords += " " + ChordName(bar.chords[1], song.key);
        std::fprintf(out, "%s| %s ", b % 8 == 0 ? "\n  " : "", chords.empty() ? "-" : chords.c_str());
    }
    std::fprintf(out, "|\n");
}

void PrintSections(std::FILE* out, const TSongModel& song)
{
    std::fprintf(out, "Sections:\n");
    for (size_t s = 0; s < song.stages.size(); ++s) {
        const tagMelodyStage& stage = song.stages[s];
        std::fprintf(out, "  %s: bars %d-%d, pattern %d\n", StageLetter(static_cast<int>(s)).c_str(),
                     stage.firstBar + 1, stage.lastBar + 1, stage.pattern + 1);
    }
}

void PrintSongForm(std::FILE* out, const TSongModel& song)
{
    int bars = 0;
    for (const tagComposeStage& entry : song.songForm)
        bars += entry.barCount;
    std::fprintf(out, "Song form: %s (%d bars)\n", FormatSongForm(song).c_str(), bars);
}

std::string JsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

} // namespace melodrift::cli
