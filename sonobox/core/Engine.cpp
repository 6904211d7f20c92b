#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

#include "Sonobox.h"
#include "SoundFile.h"

namespace melodrift::sonobox {

Engine::Engine(MDP_Window mainWindow, std::string engineDir, AnalysisSettings analysis)
    : m_messages(mainWindow), m_melody(analysis), m_accompaniment(std::move(engineDir))
{
}

Engine::~Engine()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(false);
    m_accompaniment.Settle(true);
}

int Engine::SetFont(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_accompaniment.SetFont(path))
        return MM_ERR_FAIL;
    if (m_live.On()) {
        // The keyboard follows the new font from its next note.
        CreateLiveStream();
    }
    return 0;
}

std::string Engine::FontPath() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_accompaniment.FontPath();
}

int Engine::SetTempo(int tempo)
{
    if (tempo < 20 || tempo > 300)
        return MM_ERR_FAIL;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_time.tempo = tempo;
    return 0;
}

int Engine::SetTimeSignature(int metre)
{
    if (metre < 0 || metre > 3)
        return MM_ERR_FAIL;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_time.metre = metre;
    return 0;
}

Timeline Engine::Time() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_time;
}

int Engine::LoadAccompaniment(int stream, const std::uint8_t* midi, std::size_t size)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_accompaniment.Load(stream, midi, size);
}

int Engine::SetVolume(int stream, float volume)
{
    if (stream < 0 || stream >= kStreamCount || !std::isfinite(volume))
        return MM_ERR_FAIL;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_mixer.SetVolume(stream, volume);
    volume = m_mixer.Volume(stream);
    if (m_run) {
        m_run->Processor().Post(Command{Command::SetVolume, stream, volume});
        if (stream == kStreamMicrophone)
            m_run->SetRecordVolume(volume);
    }
    return 0;
}

int Engine::Level(int stream)
{
    if (stream < 0 || stream >= kStreamCount)
        return -1;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto idle = static_cast<int>(std::lround(m_mixer.Volume(stream) * 100.0f));
    if (!m_run || m_run->GetKind() == RunKind::Live)
        return idle;
    if (stream == kStreamMicrophone)
        return m_run->GetKind() == RunKind::Record ? m_run->Processor().TakeLevel(stream) : idle;
    if (stream == kStreamOutput)
        return m_run->Processor().TakeLevel(stream);
    for (const PlaybackProgram::Source& source : m_run->Program().sources)
        if (source.stream == stream)
            return m_run->Processor().TakeLevel(stream);
    return -1;
}

int Engine::StreamLengthMs(int stream) const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (stream < 0 || stream >= kStreamCount)
        return -1;
    m_accompaniment.Settle();
    std::size_t frames = 0;
    if (const auto& voice = m_voices.Get(stream))
        frames = voice->size();
    else if (const auto& rendered = m_accompaniment.Rendered(stream))
        frames = StereoFrames(*rendered);
    return static_cast<int>(SamplesToMs(frames));
}

int Engine::SetStreamLengthMs(int stream, int ms)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (stream < 0 || stream >= kStreamCount || ms < 0 || ms > 3600 * 1000)
        return MM_ERR_FAIL;
    auto frames = static_cast<std::size_t>(MsToSamples(ms));
    if (stream == kStreamMelodyTake || stream == kStreamVoice) {
        m_voices.SetLength(stream, frames);
        return 0;
    }
    return m_accompaniment.SetLength(stream, frames) ? 0 : MM_ERR_FAIL;
}

std::shared_ptr<const MonoBuffer> Engine::Voice(int stream) const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (stream < 0 || stream >= kStreamCount)
        return nullptr;
    return m_voices.Get(stream);
}

int Engine::SetEffect(int id, int state)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_mixer.Effects().Set(id, state))
        return MM_ERR_FAIL;
    // The effect dialog's preview follows every change from where it is.
    if (m_run && m_run->GetKind() == RunKind::Play && m_run->Mode() == MM_PLAY_FX_PREVIEW && !m_run->Finished()) {
        double bar = static_cast<double>(m_run->startSample + m_run->Processor().Position()) / m_time.SamplesPerBar();
        Play(m_run->Window(), bar, MM_PLAY_FX_PREVIEW);
    }
    return 0;
}

int Engine::CombineSong(int count, const double* segments, std::int32_t* projectValue)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const int error = m_voices.Combine(count, segments, m_time.SamplesPerBar());
    if (error == 0 && projectValue)
        *projectValue = 0; // the restored final take has been replaced
    return error;
}

// ---- The recognised melody ------------------------------------------------

int Engine::MelodyCount()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_melody.Count();
}

int Engine::MelodyKey()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_melody.Key();
}

int Engine::Melody(std::int8_t* pitches, std::uint16_t* lengths, int key)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_melody.Read(pitches, lengths, key);
}

std::vector<MelodyNote> Engine::MelodyNotes()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_melody.Notes();
}

int Engine::LoadTakeFile(MDP_Window window, const std::string& path)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(true);
    auto samples = ReadMonoFile(path);
    if (!samples)
        return MM_ERR_IO;
    Recognition r = m_melody.Recognise(*samples, m_time);
    auto trim = static_cast<std::size_t>(std::min<double>(r.leadInBars * m_time.SamplesPerBar(), samples->size()));
    samples->erase(samples->begin(), samples->begin() + static_cast<std::ptrdiff_t>(trim));
    m_voices.ReplaceTake(std::move(*samples));
    m_melody.SetHave(r.barCount > 0);
    m_messages.TakeRecognised(window, r, 0);
    return r.pitchedNotes;
}

int Engine::LoadMidiMelody(MDP_Window window, const std::string& path, int track)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_melody.Ready())
        return MM_ERR_UNSUPPORTED;
    const Recognition r = m_melody.LoadMidi(path, track);
    if (r.pitchedNotes <= 0)
        return MM_ERR_FAIL;
    m_melody.SetHave(r.barCount > 0);
    m_messages.TakeRecognised(window, r, 0);
    return r.pitchedNotes;
}

} // namespace melodrift::sonobox
