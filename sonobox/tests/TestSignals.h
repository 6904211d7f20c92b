#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AudioFormat.h"
#include "SungTake.h"

namespace melodrift::sonobox::test {

using testsupport::SungNote;

struct VoiceStyle {
    double vibratoCents = 30; // depth of a 5.5 Hz vibrato
    double noise = 0.0;       // white noise level against a 0.3 peak voice
    unsigned seed = 1;
};

// A voice-like signal: a fundamental with falling harmonics, soft onsets,
// vibrato and noise, at tempo, after leadBeats of silence.
MonoBuffer SingMelody(const std::vector<SungNote>& notes, int tempo, double leadBeats, const VoiceStyle& style = {});

MonoBuffer Sine(double hz, double seconds, double amplitude = 0.5);

// Frequency of a (mostly) periodic signal from its zero crossings.
double ZeroCrossingHz(const float* samples, std::size_t count, std::size_t stride = 1);

double Rms(const float* samples, std::size_t count, std::size_t stride = 1);

void WriteWav(const std::string& path, const MonoBuffer& samples);

// An audio file read back as mono (channels averaged); empty when unreadable.
MonoBuffer ReadMonoOf(const std::string& path);

// Largest absolute sample of an audio file (0 when it cannot be read).
float ReadAudioPeak(const std::string& path);

// A format-0 Standard MIDI File: tempo in bpm, notes (MIDI number, length in
// quarters) played one after the other on channel 0 with a piano.
std::vector<std::uint8_t> MakeMidiFile(int tempo, const std::vector<SungNote>& notes);

} // namespace melodrift::sonobox::test
