#include "Accompaniment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <utility>

#include "MelodriftPlatform.h"
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

Accompaniment::Accompaniment(std::string engineDir) : m_engineDir(std::move(engineDir))
{
    m_pendingFont = FindDefaultFont(m_engineDir);
    if (m_pendingFont.empty())
        MDP_DebugOutput("Sonobox: no usable timbre library in %s/Fonts\n", m_engineDir.c_str());
}

Accompaniment::~Accompaniment() { Settle(true); }

SoundFontSynth* Accompaniment::Synth()
{
    if (!m_synth && !m_pendingFont.empty()) {
        std::string font = std::exchange(m_pendingFont, std::string());
        m_synth = SoundFontSynth::Load(font);
        if (!m_synth)
            MDP_DebugOutput("Sonobox: no usable timbre library in %s/Fonts\n", m_engineDir.c_str());
    }
    return m_synth.get();
}

std::string Accompaniment::FontPath() const { return m_synth ? m_synth->Path() : m_pendingFont; }

bool Accompaniment::SetFont(const std::string& path)
{
    auto synth = SoundFontSynth::Load(path);
    if (!synth)
        return false;
    Settle();
    m_synth = std::move(synth);
    m_pendingFont.clear();
    for (int stream : {kStreamBaseAccompaniment, kStreamFullAccompaniment})
        if (!m_midi[static_cast<std::size_t>(stream)].empty())
            RenderNow(stream);
    return true;
}

void Accompaniment::RenderNow(int stream)
{
    Settle();
    auto s = static_cast<std::size_t>(stream);
    m_rendered[s].reset();
    if (m_midi[s].empty() || !Synth())
        return;
    auto audio = m_synth->Render(m_midi[s].data(), m_midi[s].size());
    if (audio)
        m_rendered[s] = std::make_shared<const StereoBuffer>(std::move(*audio));
}

void Accompaniment::Settle(bool cancel) const
{
    if (!m_thread.joinable())
        return;
    if (cancel)
        m_cancel = true;
    m_thread.join();
    m_cancel = false;
    for (std::size_t s = 0; s < m_progress.size(); ++s) {
        if (!m_progress[s])
            continue;
        if (!m_progress[s]->Failed())
            m_rendered[s] = std::make_shared<const StereoBuffer>(m_progress[s]->Flatten());
        m_progress[s].reset();
    }
}

void Accompaniment::StartRender(int stream)
{
    // One render at a time: the synthesiser is not shared.
    Settle(m_progress[static_cast<std::size_t>(stream)] != nullptr);
    auto s = static_cast<std::size_t>(stream);
    constexpr double kMaxSeconds = 1800.0;
    auto audio = std::make_shared<ProgressiveAudio>(static_cast<std::size_t>(kMaxSeconds * kSampleRate));
    m_progress[s] = audio;
    m_rendered[s].reset();
    m_thread = std::thread([this, audio, midi = m_midi[s], synth = m_synth.get()] {
        // The release tail is held back until it is cut, so nothing plays
        // past the end a whole render would have.
        std::size_t musicEnd = SIZE_MAX;
        const bool ok = synth->RenderBlocks(
            midi.data(), midi.size(), 0, kMaxSeconds, &m_cancel,
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

int Accompaniment::Load(int stream, const std::uint8_t* midi, std::size_t size)
{
    auto s = static_cast<std::size_t>(stream);
    if (m_progress[s])
        Settle(true);
    m_midi[s].clear();
    m_rendered[s].reset();
    if (!midi || size == 0)
        return MM_ERR_FAIL;
    if (!Synth())
        return MM_ERR_UNSUPPORTED;
    if (!IsCompleteMidiFile(midi, size))
        return MM_ERR_FORMAT;
    m_midi[s].assign(midi, midi + size);
    StartRender(stream);
    return 0;
}

std::optional<StereoBuffer> Accompaniment::RenderDemo(const std::uint8_t* midi, std::size_t size, int tempo)
{
    if (!Synth())
        return std::nullopt;
    Settle();
    auto audio = m_synth->Render(midi, size, tempo, 600.0);
    return audio ? std::move(*audio) : StereoBuffer();
}

void Accompaniment::Clear()
{
    Settle(true);
    for (int s : {kStreamBaseAccompaniment, kStreamFullAccompaniment}) {
        m_rendered[static_cast<std::size_t>(s)].reset();
        m_midi[static_cast<std::size_t>(s)].clear();
    }
}

const std::shared_ptr<const StereoBuffer>& Accompaniment::Rendered(int stream) const
{
    return m_rendered[static_cast<std::size_t>(stream)];
}

const std::shared_ptr<ProgressiveAudio>& Accompaniment::Rendering(int stream) const
{
    return m_progress[static_cast<std::size_t>(stream)];
}

bool Accompaniment::SetLength(int stream, std::size_t frames)
{
    Settle();
    auto& rendered = m_rendered[static_cast<std::size_t>(stream)];
    if (!rendered)
        return false;
    StereoBuffer audio = *rendered;
    audio.resize(frames * 2, 0.0f);
    rendered = std::make_shared<const StereoBuffer>(std::move(audio));
    return true;
}

const std::vector<std::uint8_t>& Accompaniment::Midi(int stream) const
{
    return m_midi[static_cast<std::size_t>(stream)];
}

} // namespace melodrift::sonobox
