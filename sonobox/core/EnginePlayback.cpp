#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "Engine.h"
#include "Sonobox.h"

namespace melodrift::sonobox {

std::vector<PitchCorrection> Engine::Corrections(int stream) const
{
    if (m_mixer.Effects().Get(MM_FX_TUNE) == 0)
        return {};
    std::vector<PitchCorrection> take = m_melody.TakeCorrections(m_time.SamplesPerBeat());
    if (take.empty() || stream != kStreamVoice)
        return take;
    // The combined voice: each take correction goes where its segment lies.
    return m_voices.AlongSong(take, m_time.SamplesPerBar());
}

std::shared_ptr<const StereoBuffer> Engine::VoiceWithEffects(int stream) const
{
    const auto& voice = m_voices.Get(stream);
    if (!voice || voice->empty())
        return nullptr;
    return m_mixer.Voice(*voice, [&] { return Corrections(stream); });
}

int Engine::Play(MDP_Window window, double start, int mode)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!std::isfinite(start))
        return MM_ERR_FAIL;
    StopRunLocked(true);
    auto program = std::make_shared<PlaybackProgram>();
    std::int64_t from = m_time.BarToSample(std::max(0.0, start));
    auto add = [&](std::shared_ptr<const StereoBuffer> audio, int stream) {
        if (audio && !audio->empty())
            program->sources.push_back({std::move(audio), stream, from});
    };
    // An accompaniment still rendering plays while the rest renders.
    auto addRendered = [&](int stream) {
        const auto& progress = m_accompaniment.Rendering(stream);
        if (progress && !progress->Done()) {
            program->sources.push_back({nullptr, stream, from, progress});
            return;
        }
        if (progress)
            m_accompaniment.Settle();
        add(m_accompaniment.Rendered(stream), stream);
    };
    switch (mode) {
    case MM_PLAY_TAKE:
        if (const auto& take = m_voices.Take())
            add(Mixer::MonoToStereo(*take), kStreamMelodyTake);
        break;
    case MM_PLAY_BASE:
        addRendered(kStreamBaseAccompaniment);
        add(VoiceWithEffects(kStreamMelodyTake), kStreamMelodyTake);
        break;
    case MM_PLAY_SONG:
        addRendered(kStreamFullAccompaniment);
        add(VoiceWithEffects(kStreamVoice), kStreamVoice);
        break;
    case MM_PLAY_FX_PREVIEW: {
        int stream = m_voices.SongStream();
        add(VoiceWithEffects(stream), stream);
        break;
    }
    case MM_PLAY_TEMPO:
        program->clicks = std::make_shared<const StereoBuffer>(MakeClickBar(m_time));
        program->clickEnd = -1;
        break;
    default: return MM_ERR_FAIL;
    }
    if (mode != MM_PLAY_TEMPO) {
        std::int64_t end = 0;
        bool rendering = false;
        for (const PlaybackProgram::Source& s : program->sources) {
            if (s.progressive)
                rendering = true;
            else
                end = std::max(end, static_cast<std::int64_t>(StereoFrames(*s.audio)) - from);
        }
        if (rendering) {
            // The end is known once the render is; a head start keeps the
            // first blocks from waiting for it.
            program->knownEnd = end;
            program->endAfterRender = true;
            const auto headStart = static_cast<std::size_t>(from + kSampleRate / 4);
            for (const PlaybackProgram::Source& s : program->sources)
                while (s.progressive && !s.progressive->Done() && s.progressive->Ready() < headStart)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
        } else {
            if (end <= 0)
                return MM_ERR_NOTHING;
            program->endFrame = end;
        }
    }
    auto run = std::make_unique<DeviceRun>(RunKind::Play, window, mode);
    run->startSample = from;
    m_lastPlayWindow = window;
    int error = StartRun(std::move(run), program, nullptr, false);
    if (error != 0)
        RestartLiveLocked();
    return error;
}

int Engine::PlayStyleDemo(const std::uint8_t* midi, std::size_t size, int tempo)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(true);
    if (!midi || size == 0 || tempo < 0 || tempo > 400)
        return MM_ERR_FAIL;
    auto audio = m_accompaniment.RenderDemo(midi, size, tempo);
    if (!audio)
        return MM_ERR_UNSUPPORTED;
    if (audio->empty())
        return MM_ERR_FORMAT;
    auto program = std::make_shared<PlaybackProgram>();
    program->endFrame = static_cast<std::int64_t>(StereoFrames(*audio));
    program->sources.push_back({std::make_shared<const StereoBuffer>(std::move(*audio)), kStreamOutput, 0});
    int error = StartRun(std::make_unique<DeviceRun>(RunKind::Demo, m_lastPlayWindow), program, nullptr, false);
    if (error != 0)
        RestartLiveLocked();
    return error;
}

int Engine::RecordTest(int deviceId, int input, MDP_Window window)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(true);
    if (!DeviceChoice::Known(deviceId))
        return MM_ERR_NODEVICE;
    // The test does not change the device chosen for recording.
    int error = 0;
    auto device = DeviceChoice(deviceId, input).Open(true, &error);
    if (!device)
        return error;
    auto program = std::make_shared<PlaybackProgram>();
    program->capture = true;
    return StartRun(std::make_unique<DeviceRun>(RunKind::Test, window), program, std::move(device), true);
}

// ---- Live keyboard ----------------------------------------------------------

void Engine::RestartLiveLocked()
{
    if (!m_live.On() || m_run)
        return;
    StartRun(std::make_unique<DeviceRun>(RunKind::Live, nullptr), std::make_shared<PlaybackProgram>(), nullptr, false);
}

int Engine::CreateLiveStream()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    SoundFontSynth* font = m_accompaniment.Synth();
    if (!font)
        return MM_ERR_UNSUPPORTED;
    auto synth = SoundFontSynth::Load(font->Path(), true);
    if (!synth)
        return MM_ERR_FAIL;
    bool idleLive = m_run && m_run->GetKind() == RunKind::Live;
    if (idleLive)
        StopRunLocked(false);
    m_live.Replace(std::move(synth), m_run != nullptr);
    RestartLiveLocked();
    return m_run && m_run->Program().live == m_live.Synth() ? 0 : (m_run ? 0 : MM_ERR_CANTOPEN);
}

int Engine::FreeLiveStream()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_live.On())
        return 0;
    if (m_run && m_run->GetKind() == RunKind::Live)
        StopRunLocked(false);
    m_live.Free(m_run != nullptr);
    return 0;
}

int Engine::LiveNote(int note, bool on)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (note < 0 || note > 127 || !m_live.On() || !m_run || m_run->Program().live != m_live.Synth())
        return MM_ERR_FAIL;
    return m_run->Processor().Post(Command{on ? Command::NoteOn : Command::NoteOff, note, 0}) ? 0 : MM_ERR_BUSY_ENGINE;
}

} // namespace melodrift::sonobox
