#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AudioFormat.h"
#include "ProgressiveAudio.h"
#include "SoundFontSynth.h"

namespace melodrift::sonobox {

// The timbre library and the accompaniment streams (3 and 4) rendered with
// it: their MIDI, their finished audio and the one render that may be running
// on its own thread. The caller serialises every call (the engine's lock).
class Accompaniment {
public:
    explicit Accompaniment(std::string engineDir);
    ~Accompaniment(); // cancels a running render
    Accompaniment(const Accompaniment&) = delete;
    Accompaniment& operator=(const Accompaniment&) = delete;

    // The synthesiser, loaded at its first use: recognising a take needs
    // none, and loading the default font is most of a start-up. Null without
    // a usable font.
    SoundFontSynth* Synth();
    std::string FontPath() const;
    // Uses the font at path from now on and renders the loaded streams with
    // it; false (nothing changed) when it cannot be loaded.
    bool SetFont(const std::string& path);

    // Keeps midi as the stream's and starts rendering it; Play may start on
    // the render at once. 0 or an MM_ERR_* code (the stream is then empty).
    int Load(int stream, const std::uint8_t* midi, std::size_t size);
    // A one-off render of a style demo at tempo; nullopt without a font,
    // empty when the MIDI yields nothing.
    std::optional<StereoBuffer> RenderDemo(const std::uint8_t* midi, std::size_t size, int tempo);
    // Forgets every stream (a running render is cancelled).
    void Clear();

    // Waits for the render thread (cancelling it first when asked) and keeps
    // what it finished as the stream's audio.
    void Settle(bool cancel = false) const;
    // The stream's finished audio; a render still running is not in it
    // until Settle.
    const std::shared_ptr<const StereoBuffer>& Rendered(int stream) const;
    // The stream's render while it runs (and until Settle), else null.
    const std::shared_ptr<ProgressiveAudio>& Rendering(int stream) const;
    // Cuts or pads the stream's finished audio; false when it has none.
    bool SetLength(int stream, std::size_t frames);
    const std::vector<std::uint8_t>& Midi(int stream) const;

private:
    void RenderNow(int stream);
    void StartRender(int stream);

    std::string m_engineDir;
    std::unique_ptr<SoundFontSynth> m_synth;
    std::string m_pendingFont; // the default font, until Synth() loads it
    std::array<std::vector<std::uint8_t>, kStreamCount> m_midi{};
    // Finished audio, or a render still running into m_progress.
    mutable std::array<std::shared_ptr<const StereoBuffer>, kStreamCount> m_rendered{};
    mutable std::array<std::shared_ptr<ProgressiveAudio>, kStreamCount> m_progress{};
    mutable std::thread m_thread;
    mutable std::atomic<bool> m_cancel{false};
};

} // namespace melodrift::sonobox
