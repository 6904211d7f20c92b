#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

#include "EngineRun.h"
#include "Sonobox.h"
#include "SoundFile.h"

namespace melodrift::sonobox {
namespace {

std::string FindDefaultFont(const std::string& engineDir)
{
    namespace fs = std::filesystem;
    fs::path fonts = fs::path(engineDir) / "Fonts";
    std::error_code ec;
    for (const char* name : {"Pop default.sf2", "Pop default.sf3"})
        if (fs::exists(fonts / name, ec))
            return (fonts / name).string();
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(fonts, ec)) {
        std::string ext = entry.path().extension().string();
        if (ext == ".sf2" || ext == ".sf3")
            found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found.empty() ? std::string() : found.front();
}

} // namespace

Engine::Engine(MDP_Window mainWindow, std::string engineDir, AnalysisSettings analysis)
    : m_mainWindow(mainWindow), m_engineDir(std::move(engineDir)), m_analysis(analysis)
{
    m_volumes.fill(1.0f);
    m_volumes[kStreamMicrophone] = 0.5f;
    m_recogniser = std::make_unique<PitchloreLibrary>();
    m_pendingFont = FindDefaultFont(m_engineDir);
    if (m_pendingFont.empty())
        MDP_DebugOutput("Sonobox: no usable timbre library in %s/Fonts\n", m_engineDir.c_str());
}

SoundFontSynth* Engine::Renderer()
{
    if (!m_renderer && !m_pendingFont.empty()) {
        std::string font = std::exchange(m_pendingFont, std::string());
        m_renderer = SoundFontSynth::Load(font);
        if (!m_renderer)
            MDP_DebugOutput("Sonobox: no usable timbre library in %s/Fonts\n", m_engineDir.c_str());
    }
    return m_renderer.get();
}

Engine::~Engine()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(false);
    SettleRendersLocked(true);
}

int Engine::SetFont(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto synth = SoundFontSynth::Load(path);
    if (!synth)
        return MM_ERR_FAIL;
    SettleRendersLocked();
    m_renderer = std::move(synth);
    m_pendingFont.clear();
    for (int stream : {kStreamBaseAccompaniment, kStreamFullAccompaniment})
        if (!m_midi[static_cast<std::size_t>(stream)].empty())
            RenderAccompaniment(stream);
    if (m_live) {
        // The keyboard follows the new font from its next note.
        CreateLiveStream();
    }
    return 0;
}

std::string Engine::FontPath() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_renderer ? m_renderer->Path() : m_pendingFont;
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

void Engine::RenderAccompaniment(int stream)
{
    SettleRendersLocked();
    auto s = static_cast<std::size_t>(stream);
    m_rendered[s].reset();
    if (m_midi[s].empty() || !Renderer())
        return;
    auto audio = m_renderer->Render(m_midi[s].data(), m_midi[s].size());
    if (audio)
        m_rendered[s] = std::make_shared<const StereoBuffer>(std::move(*audio));
}

void Engine::SettleRendersLocked(bool cancel) const
{
    if (!m_renderThread.joinable())
        return;
    if (cancel)
        m_renderCancel = true;
    m_renderThread.join();
    m_renderCancel = false;
    for (std::size_t s = 0; s < m_progress.size(); ++s) {
        if (!m_progress[s])
            continue;
        if (!m_progress[s]->Failed())
            m_rendered[s] = std::make_shared<const StereoBuffer>(m_progress[s]->Flatten());
        m_progress[s].reset();
    }
}

void Engine::StartRenderLocked(int stream)
{
    // One render at a time: the synthesiser is not shared.
    SettleRendersLocked(m_progress[static_cast<std::size_t>(stream)] != nullptr);
    auto s = static_cast<std::size_t>(stream);
    constexpr double kMaxSeconds = 1800.0;
    auto audio = std::make_shared<ProgressiveAudio>(static_cast<std::size_t>(kMaxSeconds * kSampleRate));
    m_progress[s] = audio;
    m_rendered[s].reset();
    m_renderThread = std::thread([this, audio, midi = m_midi[s], synth = m_renderer.get()] {
        // The release tail is held back until it is cut, so nothing plays
        // past the end a whole render would have.
        std::size_t musicEnd = SIZE_MAX;
        const bool ok = synth->RenderBlocks(
            midi.data(), midi.size(), 0, kMaxSeconds, &m_renderCancel,
            [&audio, &musicEnd](const float* left, const float* right, std::size_t n) {
                return audio->Append(left, right, n, musicEnd == SIZE_MAX);
            },
            &musicEnd);
        // The release tail ends where it falls below -60 dB, as a whole render's does.
        std::size_t end = audio->Written();
        while (ok && musicEnd != SIZE_MAX && end > musicEnd && std::fabs(audio->Sample(end - 1, 0)) < 1e-3f &&
               std::fabs(audio->Sample(end - 1, 1)) < 1e-3f)
            --end;
        audio->Finish(end, ok);
    });
}

int Engine::LoadAccompaniment(int stream, const std::uint8_t* midi, std::size_t size)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto s = static_cast<std::size_t>(stream);
    if (m_progress[s])
        SettleRendersLocked(true);
    m_midi[s].clear();
    m_rendered[s].reset();
    if (!midi || size == 0)
        return MM_ERR_FAIL;
    if (!Renderer())
        return MM_ERR_UNSUPPORTED;
    if (!IsCompleteMidiFile(midi, size))
        return MM_ERR_FORMAT;
    m_midi[s].assign(midi, midi + size);
    StartRenderLocked(stream);
    return 0;
}

int Engine::SetVolume(int stream, float volume)
{
    if (stream < 0 || stream >= kStreamCount || !std::isfinite(volume))
        return MM_ERR_FAIL;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    volume = std::clamp(volume, 0.0f, 1.0f);
    m_volumes[static_cast<std::size_t>(stream)] = volume;
    if (m_run) {
        m_run->processor->Post(Command{Command::SetVolume, stream, volume});
        if (stream == kStreamMicrophone)
            m_run->recordVolume = volume;
    }
    return 0;
}

int Engine::Level(int stream)
{
    if (stream < 0 || stream >= kStreamCount)
        return -1;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto idle = static_cast<int>(std::lround(m_volumes[static_cast<std::size_t>(stream)] * 100.0f));
    if (!m_run || m_run->kind == RunKind::Live)
        return idle;
    if (stream == kStreamMicrophone)
        return m_run->kind == RunKind::Record ? m_run->processor->TakeLevel(stream) : idle;
    if (stream == kStreamOutput)
        return m_run->processor->TakeLevel(stream);
    for (const PlaybackProgram::Source& source : m_run->program->sources)
        if (source.stream == stream)
            return m_run->processor->TakeLevel(stream);
    return -1;
}

int Engine::StreamLengthMs(int stream) const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (stream < 0 || stream >= kStreamCount)
        return -1;
    SettleRendersLocked();
    auto s = static_cast<std::size_t>(stream);
    std::size_t frames = 0;
    if (m_voices[s])
        frames = m_voices[s]->size();
    else if (m_rendered[s])
        frames = StereoFrames(*m_rendered[s]);
    return static_cast<int>(SamplesToMs(frames));
}

int Engine::SetStreamLengthMs(int stream, int ms)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (stream < 0 || stream >= kStreamCount || ms < 0 || ms > 3600 * 1000)
        return MM_ERR_FAIL;
    auto s = static_cast<std::size_t>(stream);
    auto frames = static_cast<std::size_t>(MsToSamples(ms));
    if (stream == kStreamMelodyTake || stream == kStreamVoice) {
        MonoBuffer voice = m_voices[s] ? *m_voices[s] : MonoBuffer();
        voice.resize(frames, 0.0f);
        m_voices[s] = std::make_shared<const MonoBuffer>(std::move(voice));
        return 0;
    }
    SettleRendersLocked();
    if (m_rendered[s]) {
        StereoBuffer audio = *m_rendered[s];
        audio.resize(frames * 2, 0.0f);
        m_rendered[s] = std::make_shared<const StereoBuffer>(std::move(audio));
        return 0;
    }
    return MM_ERR_FAIL;
}

std::shared_ptr<const MonoBuffer> Engine::Voice(int stream) const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (stream < 0 || stream >= kStreamCount)
        return nullptr;
    return m_voices[static_cast<std::size_t>(stream)];
}

int Engine::SetEffect(int id, int state)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_effects.Set(id, state))
        return MM_ERR_FAIL;
    // The effect dialog's preview follows every change from where it is.
    if (m_run && m_run->kind == RunKind::Play && m_run->mode == MM_PLAY_FX_PREVIEW && !m_run->finished) {
        double bar = static_cast<double>(m_run->startSample + m_run->processor->Position()) / m_time.SamplesPerBar();
        Play(m_run->window, bar, MM_PLAY_FX_PREVIEW);
    }
    return 0;
}

int Engine::CombineSong(int count, const double* segments, std::int32_t* projectValue)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (count <= 0 || !segments || !m_voices[kStreamMelodyTake])
        return count <= 0 || !segments ? MM_ERR_FAIL : MM_ERR_NOTHING;
    const MonoBuffer& take = *m_voices[kStreamMelodyTake];
    double spb = m_time.SamplesPerBar();
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
    std::vector<std::pair<double, double>> kept;
    for (int i = 0; i < count; ++i) {
        double start = segments[i * 2], length = segments[i * 2 + 1];
        auto frames = static_cast<std::int64_t>(length * spb + 0.5);
        auto from = static_cast<std::int64_t>(std::llround(start * spb));
        for (std::int64_t k = 0; k < frames; ++k) {
            std::int64_t src = from + k;
            bool voiced = start >= 0 && src >= 0 && src < static_cast<std::int64_t>(take.size());
            voice.push_back(voiced ? take[static_cast<std::size_t>(src)] : 0.0f);
        }
        kept.emplace_back(start, length);
    }
    m_voices[kStreamVoice] = std::make_shared<const MonoBuffer>(std::move(voice));
    m_segments = std::move(kept);
    if (projectValue)
        *projectValue = 0; // the restored final take has been replaced
    return 0;
}

// ---- The recognised melody ------------------------------------------------

int Engine::MelodyCount()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_recogniser->Ready() || !m_haveMelody)
        return 0;
    return std::max(0, m_recogniser->GetMelodyInfo(nullptr, nullptr, nullptr));
}

int Engine::MelodyKey()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_recogniser->Ready() || !m_haveMelody)
        return -1;
    std::int32_t key = -1;
    m_recogniser->GetMelodyInfo(&key, nullptr, nullptr);
    return key;
}

int Engine::Melody(std::int8_t* pitches, std::uint16_t* lengths, int key)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_recogniser->Ready() || !m_haveMelody || !pitches || !lengths || key < -1 || key > 11)
        return MM_ERR_FAIL;
    int count = m_recogniser->GetMelody(nullptr, nullptr, -1);
    if (count <= 0)
        return count < 0 ? MM_ERR_FAIL : 0;
    std::vector<std::uint8_t> notes(static_cast<std::size_t>(count));
    std::vector<std::uint16_t> ticks(static_cast<std::size_t>(count));
    int got = m_recogniser->GetMelody(notes.data(), ticks.data(), key);
    // A re-keyed melody keeps its count; never write past what was counted.
    got = std::clamp(got, 0, count);
    for (int i = 0; i < got; ++i) {
        auto n = notes[static_cast<std::size_t>(i)];
        pitches[i] = n >= MR_REST ? static_cast<std::int8_t>(-128) : static_cast<std::int8_t>(n);
        lengths[i] = ticks[static_cast<std::size_t>(i)];
    }
    return got;
}

std::vector<MelodyNote> Engine::MelodyNotes()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const int count = MelodyCount();
    if (count <= 0)
        return {};
    std::vector<std::int8_t> pitches(static_cast<std::size_t>(count));
    std::vector<std::uint16_t> lengths(static_cast<std::size_t>(count));
    const int got = Melody(pitches.data(), lengths.data(), -1);
    std::vector<MelodyNote> notes;
    for (int i = 0; i < got && i < count; ++i)
        notes.push_back({pitches[static_cast<std::size_t>(i)], lengths[static_cast<std::size_t>(i)]});
    return notes;
}

Recognition Engine::Recognise(const MonoBuffer& take)
{
    return RecogniseTake(*m_recogniser, m_analysis, take, m_time.tempo, m_time.metre);
}

void Engine::PostTakeRecognised(MDP_Window window, const Recognition& r, int latencyMs) const
{
    auto clamp16 = [](int v) { return static_cast<intptr_t>(std::clamp(v, 0, 0xFFFF)); };
    intptr_t wParam = clamp16(r.pitchedNotes) | (clamp16(latencyMs) << 16);
    intptr_t lParam = clamp16(r.leadInBars) | (clamp16(r.barCount) << 16);
    MDP_PostMessage(window ? window : m_mainWindow, UM_TAKE_RECOGNISED, wParam, lParam);
}

int Engine::LoadTakeFile(MDP_Window window, const std::string& path)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(true);
    auto samples = ReadMonoFile(path);
    if (!samples)
        return MM_ERR_IO;
    Recognition r = Recognise(*samples);
    auto trim = static_cast<std::size_t>(std::min<double>(r.leadInBars * m_time.SamplesPerBar(), samples->size()));
    samples->erase(samples->begin(), samples->begin() + static_cast<std::ptrdiff_t>(trim));
    m_voices[kStreamMelodyTake] = std::make_shared<const MonoBuffer>(std::move(*samples));
    m_voices[kStreamVoice].reset();
    m_segments.clear();
    m_haveMelody = r.barCount > 0;
    PostTakeRecognised(window, r, 0);
    return r.pitchedNotes;
}

int Engine::LoadMidiMelody(MDP_Window window, const std::string& path, int track)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_recogniser->Ready())
        return MM_ERR_UNSUPPORTED;
    std::int32_t leadIn = 0, bars = 0;
    int notes = m_recogniser->MidiAnalysis(path.c_str(), track, &leadIn, &bars);
    if (notes <= 0)
        return MM_ERR_FAIL;
    m_haveMelody = bars > 0;
    PostTakeRecognised(window, Recognition{notes, leadIn, bars}, 0);
    return notes;
}

} // namespace melodrift::sonobox
