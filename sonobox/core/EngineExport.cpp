#include <algorithm>
#include <cmath>
#include <fstream>

#include "Engine.h"
#include "MelodyTrack.h"
#include "Sonobox.h"
#include "SoundFile.h"

namespace melodrift::sonobox {
namespace {

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
        const int s =
            m_accompaniment.Rendered(kStreamFullAccompaniment) ? kStreamFullAccompaniment : kStreamBaseAccompaniment;
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
int Engine::WriteExport(int tracks, int fileType, const std::string& temporary, const ExportWriter::Progress& progress)
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
    FileKind kind = fileType == MM_FILE_WAV ? FileKind::Wav : FileKind::Mp3;
    bool ok = WriteAudioFile(temporary, kind, mix.data(), StereoFrames(mix), 2, progress);
    return m_export.Cancelled() ? MM_ERR_CANCELLED : ok ? 0 : MM_ERR_IO;
}

int Engine::Save(MDP_Window window, int tracks, const std::string& path, int fileType, std::int32_t* result)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_export.Begin();
    if (path.empty() || fileType < MM_FILE_MP3 || fileType > MM_FILE_MIDI || tracks < 0 || tracks > 3)
        return m_export.Fail(window, MM_ERR_FAIL, result);
    if (tracks == 0)
        tracks = MM_TRACK_VOICE | MM_TRACK_ACCOMPANIMENT;
    return m_export.Write(window, path, result,
                          [&](const std::string& temporary, const ExportWriter::Progress& progress) {
                              return WriteExport(tracks, fileType, temporary, progress);
                          });
}

} // namespace melodrift::sonobox
