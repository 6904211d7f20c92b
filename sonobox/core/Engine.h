#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Accompaniment.h"
#include "AudioFormat.h"
#include "DeviceChoice.h"
#include "DeviceRun.h"
#include "ExportWriter.h"
#include "LiveKeyboard.h"
#include "MelodriftPlatform.h"
#include "MelodyTrack.h"
#include "Mixer.h"
#include "RecognisedMelody.h"
#include "SungVoices.h"
#include "Timeline.h"
#include "WindowMessages.h"

namespace melodrift::sonobox {

struct PlaybackProgram;

// The audio engine behind the MM_ entry points. One per process (see
// SonoboxApi). It holds the lock and the song's tempo and metre, and puts its
// parts together: the recognised melody, the rendered accompaniment, the live
// keyboard, the sung voices, the mix, the device choice, the current device
// run, the export writer and the messages to windows. Its files split its own
// work the same way (EngineRecording, EnginePlayback, EngineRuns, EngineExport,
// EngineProject).
// Every public function may be called from any one thread at a time, except
// CancelSave, which may run concurrently with Save.
class Engine {
public:
    Engine(MDP_Window mainWindow, std::string engineDir, AnalysisSettings analysis = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Fonts.
    int SetFont(const std::string& path);
    std::string FontPath() const;

    // Timing.
    int SetTempo(int tempo);
    int SetTimeSignature(int metre);
    Timeline Time() const;

    // Devices.
    std::vector<DeviceEntry> Devices() const;
    int SetRecordDevice(int* deviceId, const char* name, int* input, float* volume);
    int RecordTest(int deviceId, int input, MDP_Window window);
    void SetAutoLevel(bool on);
    void SetMonitor(bool on);
    void SetProtect(bool on);
    double Latency() const;

    // Runs of the device.
    int Record(MDP_Window window, double start, double punchIn, double punchOut, int mode);
    int Play(MDP_Window window, double start, int mode);
    int PlayStyleDemo(const std::uint8_t* midi, std::size_t size, int tempo);
    void Stop();
    bool Running() const;

    // Live keyboard.
    int CreateLiveStream();
    int FreeLiveStream();
    int LiveNote(int note, bool on);

    // Streams.
    int LoadAccompaniment(int stream, const std::uint8_t* midi, std::size_t size);
    int Level(int stream);
    int SetVolume(int stream, float volume);
    int StreamLengthMs(int stream) const;
    int SetStreamLengthMs(int stream, int ms);
    int SetEffect(int id, int state);
    int CombineSong(int count, const double* segments /* pairs */, std::int32_t* projectValue);
    // The recognised melody as it was sung (empty without one).
    std::vector<MelodyNote> MelodyNotes();
    std::shared_ptr<const MonoBuffer> Voice(int stream) const;

    // The recognised melody.
    int MelodyCount();
    int MelodyKey();
    int Melody(std::int8_t* pitches, std::uint16_t* lengths, int key);
    int LoadTakeFile(MDP_Window window, const std::string& path);
    int LoadMidiMelody(MDP_Window window, const std::string& path, int track);

    // Export and project block.
    int Save(MDP_Window window, int tracks, const std::string& path, int fileType, std::int32_t* result);
    void CancelSave() { m_export.Cancel(); }
    int SaveProject(const std::string& path);
    int LoadProject(const std::string& path, std::int64_t offset);
    int LoadOldTake(int stream, const std::string& path, std::int64_t offset, std::int64_t size);
    int LoadOldAnalysis(const std::string& path, std::int64_t offset, std::uint32_t version);

private:
    using RunKind = DeviceRun::Kind;

    // Starts run on program with device (null: the chosen device opened).
    int StartRun(std::unique_ptr<DeviceRun> run, std::shared_ptr<PlaybackProgram> program,
                 std::unique_ptr<AudioDevice> device, bool forCapture);
    void StopRunLocked(bool commit);
    // The run ended by itself; deviceLost is said in UM_ENGINE_STOPPED.
    void FinishNaturally(DeviceRun& run, bool deviceLost);
    std::shared_ptr<PlaybackProgram> RecordProgram(const DeviceRun& run, std::int64_t countIn) const;
    void CommitRecording(DeviceRun& run);
    void CommitMelodyTake(DeviceRun& run, MonoBuffer captured);
    void CommitFinalTake(DeviceRun& run, const MonoBuffer& captured);
    void RestartLiveLocked();
    std::shared_ptr<const StereoBuffer> VoiceWithEffects(int stream) const;
    std::vector<PitchCorrection> Corrections(int stream) const;
    StereoBuffer MixForExport(int tracks) const;
    int WriteExport(int tracks, int fileType, const std::string& temporary, const ExportWriter::Progress& progress);

    mutable std::recursive_mutex m_lock;
    WindowMessages m_messages;
    Timeline m_time;

    RecognisedMelody m_melody;
    Accompaniment m_accompaniment;
    LiveKeyboard m_live;

    SungVoices m_voices;
    Mixer m_mixer;

    DeviceChoice m_device;
    std::atomic<bool> m_autoLevel{false}; // read by the run's worker
    MDP_Window m_lastPlayWindow = nullptr;

    std::unique_ptr<DeviceRun> m_run;
    ExportWriter m_export{m_messages};
};

} // namespace melodrift::sonobox
