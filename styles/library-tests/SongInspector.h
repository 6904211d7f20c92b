// Reads composed MIDI files and rendered audio through an independent
// reader (inspect_song.py with mido) and renders MIDI with FluidSynth.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stylelib {

// A span of the song under one chord, in ticks.
struct ChordWindow {
    int32_t start;
    int32_t end;
    int root;  // 0..11
    int type;  // 0 major, 1 minor, 2 dominant seventh, 3 minor seventh
};

struct TrackFacts {
    int channel = -1;      // 0-based; -1 when the track has no notes
    int channelCount = 0;  // distinct channels of its notes
    int program = -1;      // first program change, -1 none
    int notes = 0;
    int lowPitch = -1, highPitch = -1;
    int lowVelocity = -1, highVelocity = -1;
    int inWindows = 0, chordTones = 0;  // note-ons inside chord windows, and how many fit the chord
    int barStarts = 0, onRoot = 0;      // note-ons at a chord that starts a bar, and how many are its root
};

struct SongFacts {
    bool ok = false;
    std::string error;
    int type = -1, division = 0, trackCount = 0;
    int64_t lengthTicks = 0;
    double seconds = 0;
    std::vector<TrackFacts> tracks;  // without the conductor track
    // Pitched notes starting in the last bar that holds any: its start tick,
    // their pitch classes as bits (bit 0 = C; the bass channel left out) and
    // the lowest pitch on its downbeat.
    int64_t lastBarStart = -1;
    int lastBarClasses = 0;
    int lastBarLowest = -1;
};

struct AudioFacts {
    bool ok = false;
    std::string error;
    double seconds = 0, peak = 0, rms = 0, clippedShare = 0;
    double tailRms = 0;  // loudness from the given time on
};

std::string scriptPath();
bool writeFile(const std::string& path, const uint8_t* data, size_t size);
SongFacts inspectMidi(const std::string& path, const std::vector<ChordWindow>& windows, int barTicks);
AudioFacts inspectWav(const std::string& path, double tailFrom);
// Renders path.mid to wavPath with the default sound font; "" on success.
std::string renderWithFluidSynth(const std::string& midiPath, const std::string& wavPath);
bool haveFluidSynth();

}  // namespace stylelib
