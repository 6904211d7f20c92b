// The C boundary of the engine: argument checks, the process-wide engine
// object and the translation of C++ failures into result codes.
#include "Sonobox.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "Engine.h"
#include "SoundFontSynth.h"

using melodrift::sonobox::Engine;

namespace {

std::mutex g_engineLock;
std::unique_ptr<Engine> g_engine;

Engine* Current()
{
    std::lock_guard<std::mutex> guard(g_engineLock);
    return g_engine.get();
}

// Runs body on the engine, turning a missing engine or an exception into fallback.
template <typename Body>
auto WithEngine(decltype(std::declval<Body>()(std::declval<Engine&>())) fallback, Body body) noexcept
{
    try {
        Engine* engine = Current();
        return engine ? body(*engine) : fallback;
    } catch (...) {
        return fallback;
    }
}

void CopyText(char* out, std::size_t cap, const std::string& text)
{
    if (!out || cap == 0)
        return;
    std::size_t n = std::min(cap - 1, text.size());
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace

MELODRIFT_API int32_t MM_InitialObjects(MDP_Window mainWindow, const char* engineDir)
{
    try {
        auto engine = std::make_unique<Engine>(mainWindow, engineDir ? engineDir : ".");
        std::unique_ptr<Engine> old;
        {
            std::lock_guard<std::mutex> guard(g_engineLock);
            old = std::move(g_engine);
            g_engine = std::move(engine);
        }
        return 0;
    } catch (...) {
        return MM_ERR_FAIL;
    }
}

MELODRIFT_API int32_t MM_DestroyObjects(void)
{
    try {
        std::unique_ptr<Engine> old;
        {
            std::lock_guard<std::mutex> guard(g_engineLock);
            old = std::move(g_engine);
        }
        return old ? 0 : MM_ERR_FAIL;
    } catch (...) {
        return MM_ERR_FAIL;
    }
}

MELODRIFT_API int32_t MM_GetFontInfo(const char* path, char name[80], char info1[128], char info2[256])
{
    try {
        if (!path)
            return MM_ERR_FAIL;
        auto info = melodrift::sonobox::ReadSoundFontInfo(path);
        if (!info)
            return MM_ERR_FAIL;
        CopyText(name, 80, std::filesystem::path(path).stem().string());
        CopyText(info1, 128, info->name + (info->engine.empty() ? "" : " (" + info->engine + ")"));
        CopyText(info2, 256, info->copyright);
        return 0;
    } catch (...) {
        return MM_ERR_FAIL;
    }
}

MELODRIFT_API int32_t MM_SetFont(const FONTINFO* font)
{
    if (!font || !memchr(font->path, '\0', sizeof font->path))
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.SetFont(font->path); });
}

MELODRIFT_API int32_t MM_Record(MDP_Window window, double start, double punchIn, double punchOut, int32_t mode)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.Record(window, start, punchIn, punchOut, mode); });
}

MELODRIFT_API int32_t MM_SetRecordDevice(int32_t* deviceId, const char* deviceName, int32_t* input, float* volume)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) {
        int id = deviceId ? *deviceId : -1;
        int in = input ? *input : -1;
        int r = e.SetRecordDevice(&id, deviceName, &in, volume);
        if (deviceId)
            *deviceId = id;
        if (input)
            *input = in;
        return r;
    });
}

MELODRIFT_API int32_t MM_GetRecordDeviceInfo(int32_t capacity, MM_RecordDeviceInfo* devices)
{
    return WithEngine(0, [&](Engine& e) {
        if (capacity <= 0 || !devices)
            return 0;
        auto list = e.Devices();
        int n = std::min<int>(capacity, static_cast<int>(list.size()));
        for (int i = 0; i < n; ++i) {
            MM_RecordDeviceInfo& d = devices[i];
            std::memset(&d, 0, sizeof d);
            d.id = list[static_cast<std::size_t>(i)].id;
            CopyText(d.name, sizeof d.name, list[static_cast<std::size_t>(i)].name);
            d.flags = list[static_cast<std::size_t>(i)].isDefault ? MM_DEVICE_DEFAULT : 0u;
        }
        return n;
    });
}

MELODRIFT_API int32_t MM_GetRecordInputInfo(int32_t deviceId, int32_t capacity, MM_RecordInputInfo* inputs)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) {
        auto list = e.Devices();
        auto it = std::find_if(list.begin(), list.end(), [&](const auto& d) { return d.id == deviceId; });
        if (it == list.end())
            return MM_ERR_FAIL;
        if (capacity <= 0 || !inputs)
            return 0;
        int n = std::min<int>(capacity, static_cast<int>(it->inputs.size()));
        for (int i = 0; i < n; ++i) {
            std::memset(&inputs[i], 0, sizeof inputs[i]);
            CopyText(inputs[i].name, sizeof inputs[i].name, it->inputs[static_cast<std::size_t>(i)]);
            inputs[i].flags = i == 0 ? 0u : MM_INPUT_NOT_DEFAULT;
        }
        return n;
    });
}

MELODRIFT_API int32_t MM_RecordTest(int32_t deviceId, int32_t input, MDP_Window window)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.RecordTest(deviceId, input, window); });
}

MELODRIFT_API int32_t MM_SetRecordAutoAdjust(int32_t on)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { e.SetAutoLevel(on != 0); return 0; });
}

MELODRIFT_API int32_t MM_SetRecordMoniter(int32_t on)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { e.SetMonitor(on != 0); return 0; });
}

MELODRIFT_API int32_t MM_SetRecordProtect(int32_t on)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { e.SetProtect(on != 0); return 0; });
}

MELODRIFT_API double MM_GetLatency(void)
{
    return WithEngine(0.0, [](Engine& e) { return e.Latency(); });
}

MELODRIFT_API int32_t MM_GetMelodyInfo(int32_t* key, int32_t, int32_t)
{
    return WithEngine(key ? -1 : 0, [&](Engine& e) {
        if (!key)
            return e.MelodyCount();
        *key = e.MelodyKey();
        return *key;
    });
}

MELODRIFT_API int32_t MM_GetMelody(int8_t* pitches, uint16_t* lengths, int32_t key)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.Melody(pitches, lengths, key); });
}

MELODRIFT_API int32_t MM_LoadAudio(MDP_Window window, const char* path)
{
    if (!path)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.LoadTakeFile(window, path); });
}

MELODRIFT_API int32_t MM_LoadMidiMelody(MDP_Window window, const char* path, int32_t track)
{
    if (!path)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.LoadMidiMelody(window, path, track); });
}

MELODRIFT_API int32_t MM_LoadBaseCompose(const uint8_t* midi, int32_t size)
{
    if (!midi || size <= 0)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) {
        return e.LoadAccompaniment(melodrift::sonobox::kStreamBaseAccompaniment, midi, static_cast<std::size_t>(size));
    });
}

MELODRIFT_API int32_t MM_LoadCompose(const uint8_t* midi, int32_t size)
{
    if (!midi || size <= 0)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) {
        return e.LoadAccompaniment(melodrift::sonobox::kStreamFullAccompaniment, midi, static_cast<std::size_t>(size));
    });
}

MELODRIFT_API int32_t MM_Play(MDP_Window window, double start, int32_t mode)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.Play(window, start, mode); });
}

MELODRIFT_API int32_t MM_Stop(void)
{
    return WithEngine(0, [](Engine& e) { e.Stop(); return 0; });
}

MELODRIFT_API int32_t MM_PlayStyleDemo(const uint8_t* midi, int32_t size, int32_t tempo)
{
    if (!midi || size <= 0)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.PlayStyleDemo(midi, static_cast<std::size_t>(size), tempo); });
}

MELODRIFT_API int32_t MM_CreateRealTimeMIDIStream(int32_t)
{
    return WithEngine(MM_ERR_FAIL, [](Engine& e) { return e.CreateLiveStream(); });
}

MELODRIFT_API int32_t MM_FreeRealTimeMIDIStream(int32_t)
{
    return WithEngine(0, [](Engine& e) { return e.FreeLiveStream(); });
}

MELODRIFT_API int32_t MM_RealTimeMIDINoteOn(int32_t note)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.LiveNote(note, true); });
}

MELODRIFT_API int32_t MM_RealTimeMIDINoteOff(int32_t note)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.LiveNote(note, false); });
}

MELODRIFT_API int32_t MM_SetTempo(int32_t tempo)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.SetTempo(tempo); });
}

MELODRIFT_API int32_t MM_SetTimeSignature(int32_t metre)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.SetTimeSignature(metre); });
}

MELODRIFT_API int32_t MM_GetStreamVolume(int32_t stream)
{
    return WithEngine(-1, [&](Engine& e) { return e.Level(stream); });
}

MELODRIFT_API int32_t MM_SetStreamVolume(int32_t stream, float volume)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.SetVolume(stream, volume); });
}

MELODRIFT_API int32_t MM_GetStreamLength(int32_t stream)
{
    return WithEngine(-1, [&](Engine& e) { return e.StreamLengthMs(stream); });
}

MELODRIFT_API int32_t MM_SetStreamLength(int32_t stream, int32_t ms)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.SetStreamLengthMs(stream, ms); });
}

MELODRIFT_API int32_t MM_SetFxPreset(int32_t effectId, int32_t state)
{
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.SetEffect(effectId, state); });
}

MELODRIFT_API int32_t MM_CombineSong(int32_t, int32_t count, const MM_VoiceSegment* segments, int32_t* projectValue)
{
    if (count <= 0 || !segments)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) {
        std::vector<double> pairs;
        for (int32_t i = 0; i < count; ++i) {
            pairs.push_back(segments[i].sourceStart);
            pairs.push_back(segments[i].length);
        }
        return e.CombineSong(count, pairs.data(), projectValue);
    });
}

MELODRIFT_API int32_t MM_Save(MDP_Window window, int32_t tracks, const char* path, int32_t fileType, int32_t* result)
{
    try {
        Engine* engine = Current();
        if (!engine || !path) {
            if (result)
                *result = MM_ERR_FAIL;
            MDP_PostMessage(window, UM_PROGRESS_FAILED, MM_ERR_FAIL, 0);
            return MM_ERR_FAIL;
        }
        return engine->Save(window, tracks, path, fileType, result);
    } catch (...) {
        MDP_PostMessage(window, UM_PROGRESS_FAILED, MM_ERR_FAIL, 0);
        return MM_ERR_FAIL;
    }
}

MELODRIFT_API int32_t MM_CancelSave(void)
{
    return WithEngine(0, [](Engine& e) { e.CancelSave(); return 0; });
}

MELODRIFT_API int32_t MM_SaveProject(MDP_Window, const char* path)
{
    if (!path)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.SaveProject(path); });
}

MELODRIFT_API int32_t MM_LoadProject(MDP_Window, const char* path, int32_t offset, uint32_t, int32_t)
{
    if (!path || offset < 0)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.LoadProject(path, offset); });
}

MELODRIFT_API int32_t MM_LoadAudioMP3(const char* path, int32_t offset, int32_t size)
{
    if (!path || offset < 0 || size < 0)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) {
        return e.LoadOldTake(melodrift::sonobox::kStreamMelodyTake, path, offset, size);
    });
}

MELODRIFT_API int32_t MM_LoadAnalysis(const char* path, int32_t offset, uint32_t version)
{
    if (!path || offset < 0)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.LoadOldAnalysis(path, offset, version); });
}

MELODRIFT_API int32_t MM_LoadSongMP3(const char* path, int32_t offset, int32_t size)
{
    if (!path || offset < 0 || size < 0)
        return MM_ERR_FAIL;
    return WithEngine(MM_ERR_FAIL, [&](Engine& e) { return e.LoadOldTake(melodrift::sonobox::kStreamVoice, path, offset, size); });
}

MELODRIFT_API int32_t MM_ActiveAPR(int32_t)
{
    return MM_ERR_UNSUPPORTED;
}
