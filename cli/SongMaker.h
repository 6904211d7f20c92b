#pragma once

// The whole chain from a sung take to an exported song, step by step, on the
// application core: recognition, base accompaniment, song form, composition
// with the voice laid along the form, mix and export.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "EngineSession.h"
#include "OutputPath.h"
#include "SongFormText.h"
#include "SongModel.h"

namespace melodrift::cli {

class ProgressDisplay;

struct RecognisedNote {
    int pitch = -128;      // MIDI number, -128 for a rest
    double beats = 0;      // length in beats (quarter notes)
};

struct Recognition {
    std::vector<RecognisedNote> notes;
    int key = -1;          // the key the song uses
    int detectedKey = -1;  // the key the recogniser found, -1 undecided
    int bars = 0;
    int pitchedNotes = 0;
    int leadInBars = 0;    // whole bars before the first sung note, left out of the notes
};

struct StepTime {
    std::string step;
    double seconds = 0;
};

class SongMaker {
public:
    SongMaker(EngineSession& engine, ProgressDisplay& progress);

    // key -1: the recognised key. Throws CliError (input) for a missing or
    // unreadable file, silence, or a take shorter than a bar.
    const Recognition& Recognise(const std::string& takePath, int tempo, int metre, int key);
    // Base accompaniment: chords, sections and fills in the style.
    void Accompany(int styleId);
    // The default song form, or the typed one.
    void ArrangeForm(const std::vector<FormToken>* typed);
    // The accompaniment along the song form, the voice laid along it too.
    void Compose();
    // Writes the song; the output must have been checked writable.
    void Export(const std::string& path, OutputKind kind);
    // Opens a project and composes what it lacks, ready to export.
    void OpenProject(const std::string& path);

    TSongModel& Song() { return m_song; }
    const Recognition& Notes() const { return m_recognition; }
    const std::vector<StepTime>& Times() const { return m_times; }

private:
    class StepTimer;
    void CheckTakeUsable(const std::string& takePath, int notes, const std::optional<TakeReport>& report);
    void ReadNotes();

    EngineSession& m_engine;
    ProgressDisplay& m_progress;
    TSongModel m_song;
    Recognition m_recognition;
    std::vector<StepTime> m_times;
};

// Names for the report.
std::string NoteName(int pitch);           // "C4", "#F3"; "rest"
std::string ChordName(int relative, int key);  // "Am", "G7"; "" for none

} // namespace melodrift::cli
