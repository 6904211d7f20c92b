#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Engine.h"
#include "MelodyTrack.h"
#include "Sonobox.h"
#include "SoundFile.h"

namespace melodrift::sonobox {
namespace {

// A name beside the target that no other export uses at the same time.
std::string TemporaryName(const std::string& path)
{
    return path + ".part-" + std::to_string(::getpid());
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return static_cast<bool>(file);
}

} // namespace

StereoBuffer Engine::MixForExport(int tracks) const
{
    StereoBuffer mix;
    m_accompaniment.Settle();
    if (tracks & MM_TRACK_ACCOMPANIMENT) {
        int s = m_accompaniment.Rendered(kStreamFullAccompaniment) ? kStreamFullAccompaniment : kStreamBaseAccompaniment;
        if (const auto& audio = m_accompaniment.Rendered(s))
            m_mixer.MixInto(mix, *audio, s);
    }
    if (tracks & MM_TRACK_VOICE) {
        int s = m_voices.SongStream();
        if (auto voice = VoiceWithEffects(s))
            m_mixer.MixInto(mix, *voice, s);
    }
    // Loud mixes are scaled down rather than clipped.
    float peak = 0;
    for (float v : mix)
        peak = std::max(peak, std::fabs(v));
    if (peak > 0.99f)
        for (float& v : mix)
            v *= 0.99f / peak;
    return mix;
}

// Writes the export into temporary; 0 or a failure code.
int Engine::WriteExport(MDP_Window window, int tracks, int fileType, const std::string& temporary)
{
    if (fileType == MM_FILE_MIDI) {
        const bool full = !m_accompaniment.Midi(kStreamFullAccompaniment).empty();
        const auto& midi = m_accompaniment.Midi(full ? kStreamFullAccompaniment : kStreamBaseAccompaniment);
        if (midi.empty())
            return MM_ERR_NOTHING;
        // The base accompaniment lies under the take as sung; the full one
        // follows the song form the voice was combined along.
        const auto withMelody = AppendMelodyTrack(midi, m_melody.Notes(), full ? m_voices.Segments() : SongSegments{},
                                                  m_time.BeatsPerBar());
        return WriteBytes(temporary, withMelody) ? 0 : MM_ERR_IO;
    }
    if (fileType == MM_FILE_MP3 && !CanWriteMp3())
        return MM_ERR_UNSUPPORTED;
    StereoBuffer mix = MixForExport(tracks);
    if (mix.empty())
        return MM_ERR_NOTHING;
    int lastPercent = -1;
    auto progress = [&](std::size_t done, std::size_t total) {
        int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (percent != lastPercent) {
            lastPercent = percent;
            m_messages.ProgressStep(window, percent);
        }
        return !m_cancelSave.load();
    };
    FileKind kind = fileType == MM_FILE_WAV ? FileKind::Wav : FileKind::Mp3;
    bool ok = WriteAudioFile(temporary, kind, mix.data(), StereoFrames(mix), 2, progress);
    return m_cancelSave ? MM_ERR_CANCELLED : ok ? 0 : MM_ERR_IO;
}

int Engine::Save(MDP_Window window, int tracks, const std::string& path, int fileType, std::int32_t* result)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_cancelSave = false;
    auto finish = [&](int code) {
        if (result)
            *result = code;
        // After a cancel the dialog has already closed: nothing more is posted.
        if (code != MM_ERR_CANCELLED)
            m_messages.ProgressFailed(window, code);
        return code;
    };
    if (path.empty() || fileType < MM_FILE_MP3 || fileType > MM_FILE_MIDI || tracks < 0 || tracks > 3)
        return finish(MM_ERR_FAIL);
    if (tracks == 0)
        tracks = MM_TRACK_VOICE | MM_TRACK_ACCOMPANIMENT;
    // Written beside the target and renamed: the chosen name never holds a
    // half-written file, and an old file there survives a failure.
    std::string temporary = TemporaryName(path);
    int code = WriteExport(window, tracks, fileType, temporary);
    if (code == 0 && m_cancelSave)
        code = MM_ERR_CANCELLED;
    std::error_code ec;
    auto written = static_cast<std::size_t>(std::filesystem::file_size(temporary, ec));
    if (code == 0 && std::rename(temporary.c_str(), path.c_str()) != 0)
        code = MM_ERR_IO;
    if (code != 0) {
        std::remove(temporary.c_str());
        return finish(code);
    }
    if (result)
        *result = static_cast<std::int32_t>(std::min<std::size_t>(ec ? 0 : written, INT32_MAX));
    m_messages.ProgressStep(window, 100);
    m_messages.ProgressDone(window);
    return 0;
}

} // namespace melodrift::sonobox
