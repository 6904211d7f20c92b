#include "SoundFontSynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

#include "MelodriftPlatform.h"

namespace melodrift::sonobox {
namespace {

void QuietLog(int level, const char* message, void*)
{
    if (level <= FLUID_WARN)
        MDP_DebugOutput("Sonobox: FluidSynth: %s\n", message);
}

void RouteFluidLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, QuietLog, nullptr);
    });
}

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string ChunkText(const std::uint8_t* p, std::size_t size)
{
    std::size_t n = 0;
    while (n < size && p[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

std::uint32_t ReadBe32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

} // namespace

bool IsCompleteMidiFile(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 14 || std::memcmp(data, "MThd", 4) != 0)
        return false;
    std::uint32_t headerLength = ReadBe32(data + 4);
    if (headerLength < 6 || headerLength > size - 8)
        return false;
    unsigned format = (data[8] << 8) | data[9];
    unsigned tracks = (data[10] << 8) | data[11];
    unsigned division = (data[12] << 8) | data[13];
    if (format > 2 || tracks == 0 || division == 0)
        return false;
    std::size_t pos = 8 + headerLength;
    unsigned found = 0;
    while (found < tracks) {
        if (size - pos < 8)
            return false;
        std::uint32_t length = ReadBe32(data + pos + 4);
        if (length > size - pos - 8)
            return false;
        if (std::memcmp(data + pos, "MTrk", 4) == 0) {
            // A track ends with its end-of-track event.
            if (length < 3 || std::memcmp(data + pos + 8 + length - 3, "\xFF\x2F\x00", 3) != 0)
                return false;
            ++found;
        }
        pos += 8 + length;
    }
    return true;
}

std::unique_ptr<SoundFontSynth> SoundFontSynth::Load(const std::string& path, bool liveUse)
{
    RouteFluidLog();
    if (!ReadSoundFontInfo(path))
        return nullptr;
    std::unique_ptr<SoundFontSynth> synth(new SoundFontSynth());
    synth->m_path = path;
    synth->m_settings = new_fluid_settings();
    if (!synth->m_settings)
        return nullptr;
    fluid_settings_setnum(synth->m_settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setint(synth->m_settings, "synth.threadsafe-api", liveUse ? 0 : 1);
    fluid_settings_setint(synth->m_settings, "synth.cpu-cores", 1);
    fluid_settings_setstr(synth->m_settings, "player.timing-source", "sample");
    fluid_settings_setint(synth->m_settings, "synth.lock-memory", 0);
    fluid_settings_setnum(synth->m_settings, "synth.gain", 0.5);
    synth->m_synth = new_fluid_synth(synth->m_settings);
    if (!synth->m_synth || fluid_synth_sfload(synth->m_synth, path.c_str(), 1) == FLUID_FAILED)
        return nullptr;
    return synth;
}

SoundFontSynth::~SoundFontSynth()
{
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
}

bool SoundFontSynth::RenderBlocks(const std::uint8_t* midi, std::size_t size, int tempoBpm, double maxSeconds,
                                  const std::atomic<bool>* cancel, const BlockSink& sink, std::size_t* musicEnd)
{
    // FluidSynth plays torn files as silence; refuse them instead.
    if (!IsCompleteMidiFile(midi, size))
        return false;
    fluid_synth_system_reset(m_synth);
    fluid_player_t* player = new_fluid_player(m_synth);
    if (!player)
        return false;
    bool ok = false;
    if (fluid_player_add_mem(player, midi, size) == FLUID_OK) {
        if (tempoBpm > 0)
            fluid_player_set_tempo(player, FLUID_PLAYER_TEMPO_EXTERNAL_BPM, tempoBpm);
        if (fluid_player_play(player) == FLUID_OK) {
            constexpr int kBlock = 512;
            std::vector<float> left(kBlock), right(kBlock);
            auto limit = static_cast<std::size_t>(maxSeconds * kSampleRate);
            std::size_t frames = 0;
            ok = true;
            // The player reports its end a while after the last event; the
            // music ends at the file's last tick.
            // (The total is known once the player has loaded the file.)
            auto musicOver = [player] {
                int total = fluid_player_get_total_ticks(player);
                return total > 0 && fluid_player_get_current_tick(player) >= total;
            };
            while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && !musicOver()) {
                if (frames > limit || (cancel && cancel->load())) {
                    ok = false;
                    break;
                }
                fluid_synth_write_float(m_synth, kBlock, left.data(), 0, 1, right.data(), 0, 1);
                if (!sink(left.data(), right.data(), kBlock)) {
                    ok = false;
                    break;
                }
                frames += kBlock;
            }
            fluid_player_stop(player);
            if (ok) {
                // Let sounding notes release (at most 1.5 s); the caller cuts
                // the tail where it falls below -60 dB.
                fluid_synth_all_notes_off(m_synth, -1);
                *musicEnd = frames;
                for (int b = 0; b < 3 * kSampleRate / 2 / kBlock && ok; ++b) {
                    fluid_synth_write_float(m_synth, kBlock, left.data(), 0, 1, right.data(), 0, 1);
                    ok = sink(left.data(), right.data(), kBlock);
                }
            }
        }
    }
    delete_fluid_player(player);
    fluid_synth_system_reset(m_synth);
    return ok;
}

std::optional<StereoBuffer> SoundFontSynth::Render(const std::uint8_t* midi, std::size_t size, int tempoBpm,
                                                   double maxSeconds, const std::atomic<bool>* cancel)
{
    StereoBuffer audio;
    std::size_t musicEnd = 0;
    const bool ok = RenderBlocks(midi, size, tempoBpm, maxSeconds, cancel,
                                 [&audio](const float* left, const float* right, std::size_t n) {
                                     for (std::size_t i = 0; i < n; ++i) {
                                         audio.push_back(left[i]);
                                         audio.push_back(right[i]);
                                     }
                                     return true;
                                 },
                                 &musicEnd);
    if (!ok)
        return std::nullopt;
    std::size_t end = audio.size();
    while (end > musicEnd * 2 && std::fabs(audio[end - 1]) < 1e-3f)
        --end;
    audio.resize(end + (end % 2));
    return audio;
}

std::optional<SoundFontInfo> ParseSoundFontInfo(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "sfbk", 4) != 0)
        return std::nullopt;
    std::size_t riffEnd = std::min<std::size_t>(size, 8 + static_cast<std::size_t>(ReadLe32(data + 4)));
    SoundFontInfo info;
    bool sawInfo = false;
    std::size_t pos = 12;
    while (pos + 8 <= riffEnd) {
        std::size_t chunkSize = ReadLe32(data + pos + 4);
        std::size_t body = pos + 8;
        if (chunkSize > riffEnd - body)
            break;
        if (std::memcmp(data + pos, "LIST", 4) == 0 && chunkSize >= 4 && std::memcmp(data + body, "INFO", 4) == 0) {
            sawInfo = true;
            std::size_t sub = body + 4;
            std::size_t listEnd = body + chunkSize;
            while (sub + 8 <= listEnd) {
                std::size_t subSize = ReadLe32(data + sub + 4);
                if (subSize > listEnd - sub - 8)
                    break;
                const std::uint8_t* text = data + sub + 8;
                if (std::memcmp(data + sub, "INAM", 4) == 0)
                    info.name = ChunkText(text, subSize);
                else if (std::memcmp(data + sub, "isng", 4) == 0 && info.engine.empty())
                    info.engine = ChunkText(text, subSize);
                else if (std::memcmp(data + sub, "ISFT", 4) == 0)
                    info.engine = ChunkText(text, subSize);
                else if (std::memcmp(data + sub, "ICOP", 4) == 0)
                    info.copyright = ChunkText(text, subSize);
                else if (std::memcmp(data + sub, "ICMT", 4) == 0 && info.copyright.empty())
                    info.copyright = ChunkText(text, subSize);
                sub += 8 + subSize + (subSize & 1);
            }
        }
        pos = body + chunkSize + (chunkSize & 1);
    }
    if (!sawInfo)
        return std::nullopt;
    return info;
}

std::optional<SoundFontInfo> ReadSoundFontInfo(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    // The INFO list comes first and is small; the samples are not needed.
    std::vector<std::uint8_t> head(64 * 1024);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return ParseSoundFontInfo(head.data(), head.size());
}

} // namespace melodrift::sonobox
