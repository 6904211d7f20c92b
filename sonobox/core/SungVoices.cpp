#include "SungVoices.h"

#include <cmath>

#include "Sonobox.h"

namespace melodrift::sonobox {

void SungVoices::ReplaceTake(MonoBuffer take)
{
    Set(kStreamMelodyTake, std::make_shared<const MonoBuffer>(std::move(take)));
    Set(kStreamVoice, nullptr);
    m_segments.clear();
}

void SungVoices::Restore(Audio take, Audio voice, SongSegments segments)
{
    Set(kStreamMelodyTake, std::move(take));
    Set(kStreamVoice, std::move(voice));
    m_segments = std::move(segments);
}

void SungVoices::Load(std::array<Audio, kStreamCount> voices, SongSegments segments)
{
    m_voices = std::move(voices);
    m_segments = std::move(segments);
}

void SungVoices::Clear()
{
    for (auto& voice : m_voices)
        voice.reset();
    m_segments.clear();
}

void SungVoices::SetLength(int stream, std::size_t frames)
{
    MonoBuffer voice = Get(stream) ? *Get(stream) : MonoBuffer();
    voice.resize(frames, 0.0f);
    Set(stream, std::make_shared<const MonoBuffer>(std::move(voice)));
}

int SungVoices::Combine(int count, const double* segments, double samplesPerBar)
{
    if (count <= 0 || !segments || !Take())
        return count <= 0 || !segments ? MM_ERR_FAIL : MM_ERR_NOTHING;
    const MonoBuffer& take = *Take();
    double totalBars = 0;
    for (int i = 0; i < count; ++i) {
        double length = segments[i * 2 + 1];
        if (!std::isfinite(segments[i * 2]) || !std::isfinite(length) || length < 0)
            return MM_ERR_FAIL;
        totalBars += length;
    }
    if (totalBars > 4000)
        return MM_ERR_FAIL;
    MonoBuffer voice;
    SongSegments kept;
    for (int i = 0; i < count; ++i) {
        double start = segments[i * 2], length = segments[i * 2 + 1];
        auto frames = static_cast<std::int64_t>(length * samplesPerBar + 0.5);
        auto from = static_cast<std::int64_t>(std::llround(start * samplesPerBar));
        for (std::int64_t k = 0; k < frames; ++k) {
            std::int64_t src = from + k;
            bool voiced = start >= 0 && src >= 0 && src < static_cast<std::int64_t>(take.size());
            voice.push_back(voiced ? take[static_cast<std::size_t>(src)] : 0.0f);
        }
        kept.emplace_back(start, length);
    }
    Set(kStreamVoice, std::make_shared<const MonoBuffer>(std::move(voice)));
    m_segments = std::move(kept);
    return 0;
}

std::vector<PitchCorrection> SungVoices::AlongSong(const std::vector<PitchCorrection>& take, double samplesPerBar) const
{
    std::vector<PitchCorrection> result;
    double songPos = 0;
    for (const auto& [start, length] : m_segments) {
        if (start >= 0) {
            double from = start * samplesPerBar, to = from + length * samplesPerBar;
            float current = 0;
            for (const PitchCorrection& c : take)
                if (static_cast<double>(c.at) <= from)
                    current = c.semitones;
            result.push_back({static_cast<std::size_t>(songPos), current});
            for (const PitchCorrection& c : take)
                if (static_cast<double>(c.at) > from && static_cast<double>(c.at) < to)
                    result.push_back(
                        {static_cast<std::size_t>(songPos + static_cast<double>(c.at) - from), c.semitones});
        } else {
            result.push_back({static_cast<std::size_t>(songPos), 0.0f});
        }
        songPos += length * samplesPerBar;
    }
    return result;
}

} // namespace melodrift::sonobox
