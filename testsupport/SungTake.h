#pragma once

// The one synthetic singer of the tests and benchmarks: a fundamental with
// falling harmonics, vibrato, soft onsets and releases, an optional breath
// between notes and breath noise. Signals are generated, never stored.

#include <cstdint>
#include <vector>

namespace melodrift::testsupport {

constexpr int kTakeRate = 44100;

struct SungNote {
    int midi;     // MIDI note number, -1 for a rest
    double beats; // length in beats
};

struct Voice {
    double level = 0.27;        // amplitude of the fundamental (full scale 1)
    int harmonics = 6;
    double rolloff = 1.0;       // harmonic h has level / h^rolloff
    double vibratoCents = 20;   // depth
    double vibratoHz = 5.5;
    double vibratoRise = 0;     // seconds over which the vibrato grows to its depth
    double detune = 0;          // semitones added to every note
    double attack = 0.02;       // seconds of fade-in
    double release = 0.03;      // seconds of fade-out
    double breath = 0;          // seconds of silence at the end of each note
    double breathShare = 0;     // and a share of each note's length on top
    double noise = 0;           // white noise level, sounding under rests too
    unsigned seed = 1;
    int rate = kTakeRate;
};

// The melody sung at tempo after leadBeats of silence, followed by
// tailSeconds of silence; samples in [-1, 1].
std::vector<float> Sing(const std::vector<SungNote>& melody, int tempo, double leadBeats = 0, const Voice& voice = {},
                        double tailSeconds = 0.5);

// The pitches a melody sings, rests left out and repeated notes merged:
// what a recogniser should hear.
std::vector<int> SungPitches(const std::vector<SungNote>& melody);

// 16-bit samples of a float signal (clipped at full scale).
std::vector<int16_t> ToPcm16(const std::vector<float>& samples);

} // namespace melodrift::testsupport
