// Test signals for the recogniser: magnitude spectra drawn by hand, frame
// tracks built note by note, and sung melodies synthesised and cut into
// frames with a small FFT of our own.
#pragma once

#include "Analyser.h"
#include "SungTake.h"

#include <cstdint>
#include <random>
#include <vector>

namespace testsignal {

// A spectrum of FFT/2 bins holding harmonic peaks of f0 Hz: amplitude[h-1]
// for harmonic h, each drawn as a narrow bell so the flanks fall.
std::vector<float> harmonicSpectrum(int FFT, double f0, const std::vector<double>& amplitudes);

// Writes frames into an analyser one note at a time.
class TrackBuilder {
public:
    explicit TrackBuilder(pitchlore::Analyser& analyser)
        : m_analyser(analyser)
    {
    }
    TrackBuilder& rest(uint32_t frames);
    TrackBuilder& note(double pitch, uint32_t frames, double amplitude = 1.0);
    // One frame of the given pitch (an octave error, a blip, a dropout as -1).
    TrackBuilder& frame(double pitch, double amplitude = 1.0);
    uint32_t frames() const { return m_next; }

private:
    pitchlore::Analyser& m_analyser;
    uint32_t m_next = 0;
};

using melodrift::testsupport::SungNote;

struct Voice {
    double detune = 0;        // semitones added to every note
    double vibratoDepth = 0.3; // semitones
    double vibratoRate = 5.5;  // Hz
    double noise = 0.01;       // white noise level against a fundamental of 1
    double gap = 0.03;         // seconds of breath at the end of each note
    uint32_t seed = 7;
    double drift = 0;          // semitones the tuning wanders by the end of the take
    double scoop = 0;          // semitones below the note that each note starts
    double scoopTime = 0.12;   // seconds the scoop takes to reach the note
    // A new syllable on each note: this many seconds of hiss (a consonant)
    // at hissLevel open the note while the vowel sounds on, 2.5 dB down.
    double consonant = 0;
    double hissLevel = 0.1;
    // Level of harmonic h is harmonics[h-1] (the default: 1/h up to the 8th).
    std::vector<double> harmonics;
};

// 44100 Hz samples of the melody sung at tempo.
std::vector<float> sing(const std::vector<SungNote>& melody, int tempo, const Voice& voice);

// Magnitude spectra (FFT/2 bins) of Hann-windowed frames hop samples apart;
// a fractional hop starts each frame at the nearest sample, so frames stay
// locked to the beat whatever the tempo.
std::vector<std::vector<float>> frames(const std::vector<float>& samples, int FFT, double hop);

}  // namespace testsignal
