#include "TestSignals.h"

#include "MidiBytes.h"
#include "SungTake.h"
#include "WavFile.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace melodrift::sonobox::test {

MonoBuffer SingMelody(const std::vector<SungNote>& notes, int tempo, double leadBeats, const VoiceStyle& style)
{
    // A soft voice (steeply falling harmonics) whose vibrato grows over a
    // third of a second and that breathes 8 % of each note; noise against its
    // 0.3 peak.
    testsupport::Voice voice;
    voice.level = 0.2;
    voice.rolloff = 1.5;
    voice.vibratoCents = style.vibratoCents;
    voice.attack = 0.03;
    voice.release = 0.03;
    voice.vibratoRise = 1.0 / 3;
    voice.breathShare = 0.08;
    voice.noise = style.noise * 0.3;
    voice.seed = style.seed;
    return testsupport::Sing(notes, tempo, leadBeats, voice, 60.0 / tempo);
}

MonoBuffer Sine(double hz, double seconds, double amplitude)
{
    MonoBuffer out(static_cast<std::size_t>(seconds * kSampleRate));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kSampleRate));
    return out;
}

double ZeroCrossingHz(const float* samples, std::size_t count, std::size_t stride)
{
    std::size_t crossings = 0;
    for (std::size_t i = 1; i < count; ++i)
        if ((samples[(i - 1) * stride] < 0) != (samples[i * stride] < 0))
            ++crossings;
    return crossings * 0.5 * kSampleRate / static_cast<double>(count);
}

double Rms(const float* samples, std::size_t count, std::size_t stride)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<double>(samples[i * stride]) * samples[i * stride];
    return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

void WriteWav(const std::string& path, const MonoBuffer& samples)
{
    if (!testsupport::WriteWav(path, samples, kSampleRate))
        throw std::runtime_error("cannot write " + path);
}

MonoBuffer ReadMonoOf(const std::string& path) { return testsupport::ReadAudio(path).Mono(); }

float ReadAudioPeak(const std::string& path) { return testsupport::ReadAudio(path).Peak(); }

std::vector<std::uint8_t> MakeMidiFile(int tempo, const std::vector<SungNote>& notes)
{
    testsupport::MidiBytes file(0, 192);
    testsupport::TrackBytes& track = file.Track();
    track.Tempo(tempo).Program(0, 0);
    std::uint32_t gap = 0;
    for (const SungNote& n : notes) {
        const auto ticks = static_cast<std::uint32_t>(n.beats * 192);
        if (n.midi < 0) {
            gap += ticks;
            continue;
        }
        track.Note(n.midi, ticks, gap);
        gap = 0;
    }
    track.End();
    return file.Bytes();
}


} // namespace melodrift::sonobox::test
