#include "SongMaker.h"

#include <filesystem>

#include "CliError.h"
#include "EngineSession.h"
#include "EngineTables.h"
#include "InterruptWatch.h"
#include "Pipeline.h"
#include "PlaybackClock.h"
#include "ProgressDisplay.h"
#include "ProjectFile.h"
#include "TimbreLibraries.h"
#include "AppSession.h"

namespace melodrift::cli {

namespace fs = std::filesystem;

// Adds the wall time of a step to the list when it ends.
class SongMaker::StepTimer {
public:
    StepTimer(SongMaker& maker, std::string step)
        : m_maker(maker), m_step(std::move(step)), m_start(std::chrono::steady_clock::now()) {}
    ~StepTimer()
    {
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - m_start;
        m_maker.m_times.push_back({m_step, spent.count()});
    }
    StepTimer(const StepTimer&) = delete;
    StepTimer& operator=(const StepTimer&) = delete;

private:
    SongMaker& m_maker;
    std::string m_step;
    std::chrono::steady_clock::time_point m_start;
};

SongMaker::SongMaker(EngineSession& engine, ProgressDisplay& progress) : m_engine(engine), m_progress(progress)
{
    NewSong(m_song);
}

namespace {

void CheckReadableFile(const std::string& path)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        Fail(kExitInput, path + ": no such file");
    if (!fs::is_regular_file(path, ec))
        Fail(kExitInput, path + ": not a file");
}

} // namespace

const Recognition& SongMaker::Recognise(const std::string& takePath, int tempo, int metre, int key)
{
    StepTimer timer(*this, "recognition");
    CheckReadableFile(takePath);
    SetMetre(m_song, metre, true);
    SetTempo(m_song, tempo, true);
    const auto& mm = Engines().mm;
    m_engine.TakeRecognised();   // forget any earlier report
    const int32_t notes = mm.MM_LoadAudio(m_engine.Window(), takePath.c_str());
    if (notes < 0)
        Fail(kExitInput, takePath + ": not an audio file this program can read");
    const std::optional<TakeReport> report = m_engine.TakeRecognised();
    CheckTakeUsable(takePath, notes, report);

    int32_t detected = -1;
    mm.MM_GetMelodyInfo(&detected, 0, 0);
    m_recognition.detectedKey = detected;
    // An undecided key is composed in C, as the composer would count it.
    m_song.key = key >= 0 ? key : (detected >= 0 ? detected : 0);
    for (int i = 0; i < report->validBars; ++i)
        m_song.AddBar();
    SubmitMelody(m_song);
    m_song.SetFlag(kFlagMelody, true);
    m_song.lastComposeKey = -1;
    m_recognition.key = m_song.key;
    m_recognition.bars = report->validBars;
    m_recognition.leadInBars = report->leadInBars;
    m_recognition.pitchedNotes = notes;
    ReadNotes();
    return m_recognition;
}

void SongMaker::CheckTakeUsable(const std::string& takePath, int notes, const std::optional<TakeReport>& report)
{
    const double msPerBar = BeatsPerBar(m_song.metre) * 60000.0 / m_song.tempo;
    const int leadIn = report ? report->leadInBars : 0;
    const double takeMs = Engines().mm.MM_GetStreamLength(2) + leadIn * msPerBar;
    if (takeMs < msPerBar)
        Fail(kExitInput, takePath + ": the take is shorter than one bar (" + std::to_string(static_cast<int>(takeMs)) +
                             " ms; a bar lasts " + std::to_string(static_cast<int>(msPerBar)) + " ms)");
    if (notes <= 0 || !report || report->validBars <= 0)
        Fail(kExitInput, takePath + ": no sung notes found (silence, or the voice is too quiet)");
}

void SongMaker::ReadNotes()
{
    const auto& mm = Engines().mm;
    const int32_t count = mm.MM_GetMelodyInfo(nullptr, 0, 0);
    std::vector<int8_t> pitches(static_cast<size_t>(std::max(count, 0)));
    std::vector<uint16_t> lengths(pitches.size());
    if (count > 0)
        mm.MM_GetMelody(pitches.data(), lengths.data(), m_song.key);
    m_recognition.notes.clear();
    for (size_t i = 0; i < pitches.size(); ++i)
        m_recognition.notes.push_back({pitches[i], lengths[i] / static_cast<double>(kMelodyTicksPerQuarter)});
}

void SongMaker::Accompany(int styleId)
{
    StepTimer timer(*this, "base accompaniment");
    m_song.styleId = styleId;
    RefreshSegmentBars(m_song);
    if (!BaseCompose(m_song))
        Fail(kExitFailure, "the style composer could not accompany the melody in style " + std::to_string(styleId));
    if (m_song.stages.empty())
        Fail(kExitFailure, "the style composer found no sections in the melody");
}

void SongMaker::ArrangeForm(const std::vector<FormToken>* typed)
{
    StepTimer timer(*this, "song form");
    RefreshSegmentBars(m_song);
    if (typed) {
        ApplySongForm(m_song, *typed);
    } else {
        m_song.songForm.clear();
        BuildDefaultSongForm(m_song);
    }
    if (m_song.songForm.empty())
        Fail(kExitFailure, "no song form could be built for this take");
}

void SongMaker::Compose()
{
    StepTimer timer(*this, "composition");
    // A final take restored from a project is the voice to keep; otherwise
    // the melody take is laid along the song form.
    const bool combine = !(m_song.Flag(kFlagFinalTake) && m_song.projectLoadValue == 1);
    const int key = m_song.lastComposeKey >= 0 ? m_song.lastComposeKey : m_song.key;
    if (!melodrift::Compose(m_song, key, combine))
        Fail(kExitFailure, "the composition along the song form failed");
    m_song.lastComposeKey = key;
}

void SongMaker::Export(const std::string& path, OutputKind kind)
{
    StepTimer timer(*this, std::string("export ") + OutputKindName(kind));
    m_progress.Begin(std::string("Writing ") + OutputKindName(kind));
    m_engine.ShowProgressOn(&m_progress);
    bool ok = false;
    int32_t result = 0;
    BeginExport(path);
    if (kind == OutputKind::Project) {
        // The program warns about a project that names no timbre library;
        // name the one the engine plays with.
        if (m_song.timbreLibraryName.empty() && BuildTimbreLibraryList(m_song, ApplicationDirectory() + "Fonts/") > 0)
            ChooseTimbreLibrary(m_song, "");
        ok = SaveProject(m_song, path, m_engine.Window());
    } else {
        const int32_t type = kind == OutputKind::Mp3 ? MM_FILE_MP3 : kind == OutputKind::Wav ? MM_FILE_WAV : MM_FILE_MIDI;
        ok = Engines().mm.MM_Save(m_engine.Window(), 0, path.c_str(), type, &result) == 0;
    }
    m_engine.ShowProgressOn(nullptr);
    m_progress.End();
    EndExport();
    if (!ok)
        Fail(kExitOutput, "cannot write " + path + (result < 0 ? " (engine error " + std::to_string(result) + ")" : ""));
}

namespace {

const char* OpenProblem(uint32_t result)
{
    switch (result) {
    case kProjectCannotOpen: return "cannot be opened";
    case kProjectBadVersion: return "is not a project file of a known version";
    case kProjectDamaged: return "is damaged";
    case kProjectAudioError: return "holds audio that cannot be read";
    case kProjectStyleGone: return "uses a style that is not installed";
    default: return "cannot be opened";
    }
}

} // namespace

void SongMaker::OpenProject(const std::string& path)
{
    {
        StepTimer timer(*this, "open project");
        CheckReadableFile(path);
        const uint32_t result = melodrift::OpenProject(m_song, path, m_engine.Window());
        if (!ProjectOpened(result))
            Fail(kExitInput, path + ": the project " + OpenProblem(result));
        if (!m_song.Flag(kFlagMelody) || m_song.bars.empty())
            Fail(kExitInput, path + ": the project holds no melody to accompany");
        SubmitMelody(m_song);
    }
    if (m_song.stages.empty() || !m_song.Flag(kFlagBaseAccompaniment))
        Accompany(m_song.styleId);
    if (m_song.songForm.empty())
        ArrangeForm(nullptr);
    Compose();
}

std::string NoteName(int pitch)
{
    if (pitch < 0)
        return "rest";
    return std::string(KeyName(pitch % kKeyCount)) + std::to_string(pitch / kKeyCount - 1);
}

std::string ChordName(int relative, int key)
{
    if (relative < 0)
        return "";
    static const char* const kQualities[] = {"", "m", "7", "m7"};
    const int absolute = ToAbsoluteChord(relative, key);
    return std::string(KeyName(absolute / 4)) + kQualities[absolute % 4];
}

} // namespace melodrift::cli
