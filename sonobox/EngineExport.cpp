#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Engine.h"
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

void MixInto(StereoBuffer& mix, const StereoBuffer& source, float volume)
{
    if (mix.size() < source.size())
        mix.resize(source.size(), 0.0f);
    for (std::size_t i = 0; i < source.size(); ++i)
        mix[i] += source[i] * volume;
}

} // namespace

int Engine::Save(MDP_Window window, int tracks, const std::string& path, int fileType, std::int32_t* result)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_cancelSave = false;
    auto fail = [&](int code) {
        if (result)
            *result = code;
        MDP_PostMessage(window, UM_PROGRESS_FAILED, code, 0);
        return code;
    };
    if (path.empty() || fileType < MM_FILE_MP3 || fileType > MM_FILE_MIDI || tracks < 0 || tracks > 3)
        return fail(MM_ERR_FAIL);
    if (tracks == 0)
        tracks = MM_TRACK_VOICE | MM_TRACK_ACCOMPANIMENT;
    std::string temporary = TemporaryName(path);
    std::size_t written = 0;
    if (fileType == MM_FILE_MIDI) {
        const auto& midi = !m_midi[kStreamFullAccompaniment].empty() ? m_midi[kStreamFullAccompaniment]
                                                                      : m_midi[kStreamBaseAccompaniment];
        if (midi.empty())
            return fail(MM_ERR_NOTHING);
        if (!WriteBytes(temporary, midi)) {
            std::remove(temporary.c_str());
            return fail(MM_ERR_IO);
        }
        written = midi.size();
    } else {
        if (fileType == MM_FILE_MP3 && !CanWriteMp3())
            return fail(MM_ERR_UNSUPPORTED);
        StereoBuffer mix;
        if (tracks & MM_TRACK_ACCOMPANIMENT) {
            int s = m_rendered[kStreamFullAccompaniment] ? kStreamFullAccompaniment : kStreamBaseAccompaniment;
            if (const auto& audio = m_rendered[static_cast<std::size_t>(s)])
                MixInto(mix, *audio, m_volumes[static_cast<std::size_t>(s)]);
        }
        if (tracks & MM_TRACK_VOICE) {
            int s = m_voices[kStreamVoice] && !m_voices[kStreamVoice]->empty() ? kStreamVoice : kStreamMelodyTake;
            if (auto voice = VoiceWithEffects(s))
                MixInto(mix, *voice, m_volumes[static_cast<std::size_t>(s)]);
        }
        if (mix.empty())
            return fail(MM_ERR_NOTHING);
        float peak = 0;
        for (float v : mix)
            peak = std::max(peak, std::fabs(v));
        if (peak > 0.99f)
            for (float& v : mix)
                v *= 0.99f / peak;
        int lastPercent = -1;
        auto progress = [&](std::size_t done, std::size_t total) {
            int percent = total ? static_cast<int>(done * 100 / total) : 100;
            if (percent != lastPercent) {
                lastPercent = percent;
                MDP_PostMessage(window, UM_PROGRESS_STEP, percent, 0);
            }
            return !m_cancelSave.load();
        };
        FileKind kind = fileType == MM_FILE_WAV ? FileKind::Wav : FileKind::Mp3;
        bool ok = WriteAudioFile(temporary, kind, mix.data(), StereoFrames(mix), 2, progress);
        if (!ok || m_cancelSave) {
            std::remove(temporary.c_str());
            if (m_cancelSave) {
                if (result)
                    *result = MM_ERR_CANCELLED;
                return MM_ERR_CANCELLED; // the dialog has already closed
            }
            return fail(MM_ERR_IO);
        }
        std::error_code ec;
        written = static_cast<std::size_t>(std::filesystem::file_size(temporary, ec));
    }
    if (m_cancelSave) {
        std::remove(temporary.c_str());
        if (result)
            *result = MM_ERR_CANCELLED;
        return MM_ERR_CANCELLED;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return fail(MM_ERR_IO);
    }
    if (result)
        *result = static_cast<std::int32_t>(std::min<std::size_t>(written, INT32_MAX));
    MDP_PostMessage(window, UM_PROGRESS_STEP, 100, 0);
    MDP_PostMessage(window, UM_PROGRESS_DONE, 0, 0);
    return 0;
}

} // namespace melodrift::sonobox
