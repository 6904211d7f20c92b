#include <algorithm>
#include <cmath>

#include "Engine.h"
#include "Sonobox.h"

namespace melodrift::sonobox {
namespace {

// A stereo copy of a mono voice with [from, to) silenced (to < 0: to the end):
// what the singer hears of the old take while a part of it is replaced.
std::shared_ptr<const StereoBuffer> MutedStereo(const MonoBuffer& voice, std::int64_t from, std::int64_t to)
{
    auto stereo = std::make_shared<StereoBuffer>(voice.size() * 2);
    for (std::size_t i = 0; i < voice.size(); ++i) {
        auto k = static_cast<std::int64_t>(i);
        bool muted = k >= from && (to < 0 || k < to);
        (*stereo)[i * 2] = (*stereo)[i * 2 + 1] = muted ? 0.0f : voice[i];
    }
    return stereo;
}

// Writes captured input into target over [from, to) of the timeline (to < 0:
// as far as the input goes), growing target as needed.
void Overwrite(MonoBuffer& target, const MonoBuffer& captured, std::int64_t origin, std::int64_t from, std::int64_t to)
{
    std::int64_t end = origin + static_cast<std::int64_t>(captured.size());
    if (to >= 0)
        end = std::min(end, to);
    from = std::max<std::int64_t>({from, origin, 0});
    if (end <= from)
        return;
    if (static_cast<std::int64_t>(target.size()) < end)
        target.resize(static_cast<std::size_t>(end), 0.0f);
    for (std::int64_t t = from; t < end; ++t)
        target[static_cast<std::size_t>(t)] = captured[static_cast<std::size_t>(t - origin)];
}

} // namespace

int Engine::Record(MDP_Window window, double start, double punchIn, double punchOut, int mode)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (mode < MM_RECORD_MELODY || mode > MM_RECORD_FINAL || !std::isfinite(start) || !std::isfinite(punchIn) ||
        !std::isfinite(punchOut))
        return MM_ERR_FAIL;
    auto run = std::make_unique<DeviceRun>(RunKind::Record, window, mode);
    run->take = std::make_unique<RecordingTake>();
    RecordingTake& recording = *run->take;
    // Open ends: -1 on the record screen, 0 on the complete screen.
    auto isOpen = [mode](double v) { return mode == MM_RECORD_FINAL ? v <= 0 : v < 0; };
    run->startSample = m_time.BarToSample(std::max(0.0, start));
    recording.punchIn = isOpen(punchIn) ? -1 : m_time.BarToSample(punchIn);
    recording.punchOut = isOpen(punchOut) ? -1 : m_time.BarToSample(punchOut);
    if (recording.punchIn >= 0 && recording.punchOut >= 0 && recording.punchOut <= recording.punchIn)
        return MM_ERR_FAIL;
    StopRunLocked(true); // may commit a take, so the take is looked at after it
    const auto& take = m_voices.Take();
    if (mode == MM_RECORD_FINAL)
        recording.partial = true;
    else
        recording.partial =
            take && !take->empty() && (start > 0 || recording.punchIn >= 0 || recording.punchOut >= 0);

    // A melody take that yields no bars (silence, cancelled in the count-in)
    // must not cost the melody that was there.
    if (mode != MM_RECORD_FINAL)
        recording.previous = m_melody.Snapshot(take, m_voices.Voice(), m_voices.Segments());

    std::int64_t countIn = 0;
    if (mode != MM_RECORD_FINAL && !recording.partial)
        countIn = static_cast<std::int64_t>(m_time.SamplesPerBar() + 0.5);
    auto program = RecordProgram(*run, countIn);
    int error = program ? 0 : MM_ERR_NOTHING;
    std::unique_ptr<AudioDevice> device;
    if (program)
        device = m_device.Open(true, &error);
    if (!device) {
        RestartLiveLocked();
        return error;
    }
    recording.latencyMs = static_cast<int>(std::lround(device->LatencyMs()));
    recording.origin = run->startSample - countIn - MsToSamples(recording.latencyMs);
    if (mode != MM_RECORD_FINAL && !recording.partial && run->startSample == 0)
        recording.analyser = m_melody.BeginTake(m_time);
    error = StartRun(std::move(run), program, std::move(device), true);
    if (error != 0)
        RestartLiveLocked();
    return error;
}

std::shared_ptr<PlaybackProgram> Engine::RecordProgram(const DeviceRun& run, std::int64_t countIn) const
{
    const RecordingTake& take = *run.take;
    // What the singer hears: the count-in, the accompaniment, and the old
    // take around the part being replaced.
    m_accompaniment.Settle();
    auto program = std::make_shared<PlaybackProgram>();
    program->capture = true;
    if (countIn > 0) {
        program->clicks = std::make_shared<const StereoBuffer>(MakeClickBar(m_time));
        program->clickEnd = countIn;
    }
    std::int64_t sourceStart = run.startSample - countIn;
    std::int64_t muteFrom = take.punchIn >= 0 ? take.punchIn : run.startSample;
    const auto& base = m_accompaniment.Rendered(kStreamBaseAccompaniment);
    if (run.Mode() == MM_RECORD_MELODY_ACC && base)
        program->sources.push_back({base, kStreamBaseAccompaniment, sourceStart});
    if (run.Mode() != MM_RECORD_FINAL && take.partial)
        program->sources.push_back(
            {MutedStereo(*m_voices.Take(), muteFrom, take.punchOut), kStreamMelodyTake, sourceStart});
    if (run.Mode() == MM_RECORD_FINAL) {
        // The take ends with the accompaniment.
        if (const auto& accompaniment = m_accompaniment.Rendered(kStreamFullAccompaniment)) {
            program->sources.push_back({accompaniment, kStreamFullAccompaniment, sourceStart});
            program->endFrame = static_cast<std::int64_t>(StereoFrames(*accompaniment)) - run.startSample;
            if (program->endFrame <= 0)
                return nullptr;
        }
        if (const auto& voice = m_voices.Voice())
            program->sources.push_back({MutedStereo(*voice, muteFrom, take.punchOut), kStreamVoice, sourceStart});
    }
    return program;
}

void Engine::CommitRecording(DeviceRun& run)
{
    MonoBuffer captured = std::move(run.take->captured);
    run.take->captured.clear();
    // The device may run on a little after the program's end; input from
    // then on belongs to no take. (captured[i] arrived at device frame i.)
    std::int64_t end = run.Program().endFrame;
    if (end >= 0 && static_cast<std::int64_t>(captured.size()) > end)
        captured.resize(static_cast<std::size_t>(end));
    if (run.Mode() == MM_RECORD_FINAL)
        CommitFinalTake(run, captured);
    else
        CommitMelodyTake(run, std::move(captured));
}

void Engine::CommitMelodyTake(DeviceRun& run, MonoBuffer captured)
{
    const RecordingTake& recording = *run.take;
    MonoBuffer take;
    if (recording.partial && m_voices.Take())
        take = *m_voices.Take();
    else
        take.clear();
    std::int64_t from = recording.partial && recording.punchIn >= 0 ? std::max(recording.punchIn, run.startSample)
                                                                     : run.startSample;
    Overwrite(take, captured, recording.origin, from, recording.partial ? recording.punchOut : -1);
    Recognition recognition;
    if (recording.analyser && recording.origin <= 0) {
        std::size_t skip = std::min(captured.size(), static_cast<std::size_t>(-recording.origin));
        recognition = recording.analyser->Finish(captured.data() + skip, captured.size() - skip);
    } else {
        recognition = m_melody.Recognise(take, m_time);
    }
    if (recognition.barCount <= 0 && recording.previous && recording.previous->RestoreRecogniser()) {
        m_voices.Restore(recording.previous->take, recording.previous->voice, recording.previous->segments);
        m_melody.SetHave(true);
        m_messages.TakeRecognised(run.Window(), recognition, recording.latencyMs);
        return;
    }
    // The melody's first bar becomes the take's first bar.
    const double leadIn = std::max(0, recognition.leadInBars) * m_time.SamplesPerBar();
    auto trim = static_cast<std::size_t>(std::min<double>(leadIn, static_cast<double>(take.size())));
    take.erase(take.begin(), take.begin() + static_cast<std::ptrdiff_t>(trim));
    if (recording.partial)
        m_voices.Set(kStreamMelodyTake, std::make_shared<const MonoBuffer>(std::move(take)));
    else
        m_voices.ReplaceTake(std::move(take));
    m_melody.SetHave(recognition.barCount > 0);
    m_messages.TakeRecognised(run.Window(), recognition, recording.latencyMs);
}

void Engine::CommitFinalTake(DeviceRun& run, const MonoBuffer& captured)
{
    const RecordingTake& recording = *run.take;
    MonoBuffer voice = m_voices.Voice() ? *m_voices.Voice() : MonoBuffer();
    std::int64_t from = recording.punchIn >= 0 ? std::max(recording.punchIn, run.startSample) : run.startSample;
    Overwrite(voice, captured, recording.origin, from, recording.punchOut);
    m_voices.Set(kStreamVoice, std::make_shared<const MonoBuffer>(std::move(voice)));
    m_messages.TakeRecognised(run.Window(), Recognition{}, recording.latencyMs);
}

} // namespace melodrift::sonobox
