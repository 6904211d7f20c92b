#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AudioFormat.h"

typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_hashtable_t fluid_settings_t;

namespace melodrift::sonobox {

// A FluidSynth instance with one SoundFont loaded.
class SoundFontSynth {
public:
    // nullptr when the file is not a font FluidSynth can load. liveUse turns
    // off FluidSynth's own locking: such a synth belongs to the audio thread.
    static std::unique_ptr<SoundFontSynth> Load(const std::string& path, bool liveUse = false);
    ~SoundFontSynth();
    SoundFontSynth(const SoundFontSynth&) = delete;
    SoundFontSynth& operator=(const SoundFontSynth&) = delete;

    const std::string& Path() const { return m_path; }
    fluid_synth_t* Synth() const { return m_synth; }

    // Renders a Standard MIDI File from its first tick to its last event plus
    // the release of the last notes. tempoBpm > 0 replaces the file's tempo.
    // nullopt when the bytes are not a MIDI file FluidSynth accepts, when it
    // would last longer than maxSeconds, or when cancel becomes true.
    std::optional<StereoBuffer> Render(const std::uint8_t* midi, std::size_t size, int tempoBpm = 0,
                                       double maxSeconds = 1800.0, const std::atomic<bool>* cancel = nullptr);

    // The same render handed to sink block by block (false from the sink
    // stops it); musicEnd receives the frames before the release tail.
    using BlockSink = std::function<bool(const float* left, const float* right, std::size_t frames)>;
    bool RenderBlocks(const std::uint8_t* midi, std::size_t size, int tempoBpm, double maxSeconds,
                      const std::atomic<bool>* cancel, const BlockSink& sink, std::size_t* musicEnd);

private:
    SoundFontSynth() = default;
    std::string m_path;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
};

// Checks the chunk structure of a Standard MIDI File: a header, as many
// track chunks as it announces, each inside size and closed by its
// end-of-track event.
bool IsCompleteMidiFile(const std::uint8_t* data, std::size_t size);

// The texts a SoundFont carries in its INFO list, read without FluidSynth.
struct SoundFontInfo {
    std::string name;      // INAM
    std::string engine;    // isng / ISFT
    std::string copyright; // ICOP, else ICMT
};

// Parses the RIFF header of an sf2/sf3 file held in memory; nullopt when the
// bytes are not a SoundFont. Reads only inside size.
std::optional<SoundFontInfo> ParseSoundFontInfo(const std::uint8_t* data, std::size_t size);
std::optional<SoundFontInfo> ReadSoundFontInfo(const std::string& path);

} // namespace melodrift::sonobox
