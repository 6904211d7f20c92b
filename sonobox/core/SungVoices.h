#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "AudioFormat.h"
#include "VoiceEffects.h"

namespace melodrift::sonobox {

// Where the combined voice's parts come from: (first bar in the melody take,
// length in bars); a negative start is silence.
using SongSegments = std::vector<std::pair<double, double>>;

// The sung audio: the melody take (stream 2) and the voice laid along the
// song form (stream 5) with the segments it was combined from. Indexed by
// stream; the other streams hold nothing here.
class SungVoices {
public:
    using Audio = std::shared_ptr<const MonoBuffer>;

    const Audio& Get(int stream) const { return m_voices[static_cast<std::size_t>(stream)]; }
    void Set(int stream, Audio audio) { m_voices[static_cast<std::size_t>(stream)] = std::move(audio); }
    const Audio& Take() const { return Get(kStreamMelodyTake); }
    const Audio& Voice() const { return Get(kStreamVoice); }
    // The voice as the song has it: the combined voice once there is one,
    // else the melody take.
    int SongStream() const { return Voice() && !Voice()->empty() ? kStreamVoice : kStreamMelodyTake; }
    const SongSegments& Segments() const { return m_segments; }

    // A new whole melody take: the voice combined from the old one goes.
    void ReplaceTake(MonoBuffer take);
    // Puts back a take, voice and form kept earlier.
    void Restore(Audio take, Audio voice, SongSegments segments);
    // Everything from a project.
    void Load(std::array<Audio, kStreamCount> voices, SongSegments segments);
    void Clear();
    // Cuts or pads a stream (2 or 5; a missing one becomes silence).
    void SetLength(int stream, std::size_t frames);

    // Lays the melody take along count (start, length) bar pairs as the
    // voice; 0, MM_ERR_FAIL for bad segments, MM_ERR_NOTHING without a take.
    int Combine(int count, const double* segments, double samplesPerBar);
    // Carries corrections along the take to where the voice's segments put
    // their bars; silent segments get none.
    std::vector<PitchCorrection> AlongSong(const std::vector<PitchCorrection>& take, double samplesPerBar) const;

private:
    std::array<Audio, kStreamCount> m_voices{};
    SongSegments m_segments;
};

} // namespace melodrift::sonobox
