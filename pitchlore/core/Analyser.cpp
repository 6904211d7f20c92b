#include "Analyser.h"

#include "FundamentalEstimator.h"
#include "MelodySegmenter.h"
#include "NoteTracker.h"
#include "Quantiser.h"

#include "MelodriftPlatform.h"

#include <cmath>

namespace pitchlore {

Analyser::Analyser(KeyAnalysisFn keyAnalysis)
    : m_keyAnalysis(keyAnalysis)
{
}

void Analyser::clearMelody()
{
    m_notes.clear();
    m_outputs.clear();
    m_noteCount = 0;
    m_key = -1;
    m_leadInBars = 0;
    m_barCount = 0;
}

bool Analyser::reset(int32_t tempo, int32_t TS, int32_t FFT, uint32_t FPB)
{
    m_tracks.clear();
    clearMelody();
    m_config = AnalyserConfig::make(tempo, TS, FFT, FPB);
    m_shapeMeter.reset();
    if (!m_config)
        return false;
    const AnalyserConfig& c = *m_config;
    m_tracks.configure(c.FPB, c.framesPerBlock());
    MDP_DebugOutput("Reset analyser: TS=%d, FPB=%d, FFT=%d, BPB=%d, NPB=%d\n", c.TS, static_cast<int>(c.FPB), c.FFT,
                    static_cast<int>(c.BPB), static_cast<int>(c.NPB));
    return true;
}

void Analyser::frame(uint32_t index, const float* spectrum)
{
    if (!m_config || spectrum == nullptr)
        return;
    const AnalyserConfig& c = *m_config;
    FundamentalEstimator estimator(spectrum, static_cast<size_t>(c.FFT / 2), c.lowestBin, c.highestBin);
    Fundamental f = estimator.estimate();
    FrameValue value;
    value.frequency = c.FFT > 0 ? f.position * kSampleRate / c.FFT : 0.0;
    if (f.position > 0) {
        value.pitch = 12.0 * std::log2(f.position / c.referenceBin) + 69.0;
        value.amplitude = f.peak;
    }
    if (!m_shapeMeter)
        m_shapeMeter.emplace(c.FFT, static_cast<size_t>(c.FFT / 2));
    FrameShape shape = m_shapeMeter->measure(spectrum, f.position);
    m_tracks.store(index, value, &shape);
}

void Analyser::storeFrame(uint32_t index, const FrameValue& value)
{
    if (m_config)
        m_tracks.store(index, value);
}

std::optional<Analyser::Result> Analyser::analyseMelody(int32_t key)
{
    m_key = key;
    if (!m_config || m_tracks.completedBeats() == 0)
        return std::nullopt;
    const AnalyserConfig& c = *m_config;
    if (m_method == Method::Notes) {
        MelodySegmenter::measureLeadIn(m_tracks, c);
        m_notes = NoteTracker(c).track(m_tracks);
    } else {
        m_notes = MelodySegmenter(c).segment(m_tracks);
    }
    BarLayout layout = Quantiser(c.gridUnit(), c.framesPerBar()).quantise(m_notes);
    m_leadInBars = layout.leadInBars;
    m_barCount = layout.barCount;
    uint64_t start = static_cast<uint64_t>(layout.leadInBars) * c.framesPerBar();
    uint64_t span = static_cast<uint64_t>(layout.barCount) * c.framesPerBar();
    if (span < m_tracks.count())
        m_tracks.keepWindow(static_cast<uint32_t>(start), static_cast<uint32_t>(span));
    Result r;
    r.pitched = buildOutputs();
    r.leadInBars = m_leadInBars;
    r.barCount = m_barCount;
    return r;
}

int32_t Analyser::buildOutputs()
{
    const AnalyserConfig& c = *m_config;
    Quantiser::splitLongNotes(m_notes, c.gridUnit(), c.FPB);
    m_noteCount = static_cast<int32_t>(m_notes.size());
    // The note tracker's tuning wraps.
    m_outputs.setCircularTuning(m_method == Method::Notes);
    // Real singers sing chromatic notes too: the note tracker keeps what was
    // sung unless the caller chose another key.
    m_outputs.setKeepSungNotesInOwnKey(m_method == Method::Notes);
    return m_outputs.build(m_notes, m_key, m_keyAnalysis, c.FPB, c.TS);
}

int32_t Analyser::changeKey(int32_t key)
{
    if (key < 0 || key > 11 || key == m_key || !m_config)
        return m_noteCount;
    if (static_cast<int32_t>(m_notes.size()) == m_noteCount) {
        m_key = key;
        buildOutputs();
    } else {
        analyseMelody(key);
    }
    return m_noteCount;
}

Analyser::Result Analyser::takeNotes(NoteRecords notes)
{
    const AnalyserConfig& c = *m_config;
    m_notes = std::move(notes);
    BarLayout layout = Quantiser(c.gridUnit(), c.framesPerBar()).quantise(m_notes);
    m_leadInBars = layout.leadInBars;
    m_barCount = layout.barCount;
    Result r;
    r.pitched = buildOutputs();
    r.leadInBars = m_leadInBars;
    r.barCount = m_barCount;
    return r;
}

bool Analyser::takeTracks(std::vector<double> amplitude, std::vector<double> frequency, std::vector<double> pitch,
                          double loudest, double leadInLevel)
{
    if (!m_tracks.assign(std::move(amplitude), std::move(frequency), std::move(pitch)))
        return false;
    m_tracks.setLoudest(loudest);
    m_tracks.setLeadInLevel(leadInLevel);
    uint32_t bpb = m_config->BPB;
    m_barCount = static_cast<int32_t>((m_tracks.completedBeats() + bpb - 1) / bpb);
    return true;
}

int32_t Analyser::takeNoteRecords(NoteRecords notes, int32_t key)
{
    m_key = key;
    m_notes = std::move(notes);
    return buildOutputs();
}

void Analyser::reanalyseWithKey(int32_t key)
{
    if (!analyseMelody(key))
        m_key = key;
}

std::vector<PitchRevise> Analyser::pitchRevise() const
{
    if (!m_config)
        return {};
    return m_outputs.pitchRevise(m_notes, m_config->FPB);
}

}  // namespace pitchlore
