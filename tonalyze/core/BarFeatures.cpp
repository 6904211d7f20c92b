#include "BarFeatures.h"

#include <algorithm>
#include <cstdio>

#include "Log.h"
#include "StepChooser.h"

namespace tonalyze {
namespace {

// Degree index (do..ti) of a semitone above the key; -1 for fa and the
// chromatic ones, which never count as long notes.
int longNoteDegree(int semitones)
{
    switch (semitones) {
    case 0: return kDo;
    case 2: return kRe;
    case 4: return kMi;
    case 7: return kSol;
    case 9: return kLa;
    case 11: return kTi;
    default: return -1;
    }
}

}  // namespace

BarFeatureBuilder::BarFeatureBuilder(const Metre& metre, int key, int barCount, int pickup)
    : m_metre(metre), m_key(key), m_barCount(barCount), m_pickup(pickup)
{
}

BarFeatures BarFeatureBuilder::build(const NoteSpan& melody)
{
    m_out.bars.assign(static_cast<size_t>(m_barCount), BarRecord{});
    const std::vector<int64_t> adjusted = absorbRests(melody);
    const int64_t tkLong = longNoteThreshold(melody);
    char buf[64];
    std::snprintf(buf, sizeof buf, "\n长音基准：tkLong = %lld.\n", static_cast<long long>(tkLong));
    logText(buf);
    markLongNotes(melody, adjusted, tkLong);
    walkProfiles(melody, adjusted);
    return std::move(m_out);
}

// A note followed by rests rings through them, except that a rest reaching
// less than half a bar into the next bar keeps that part as a rest.
std::vector<int64_t> BarFeatureBuilder::absorbRests(const NoteSpan& melody) const
{
    const size_t n = melody.size();
    std::vector<int64_t> len(melody.lengths.begin(), melody.lengths.end());
    const int64_t bar = m_metre.ticksPerBar();
    int64_t pos = 0;
    for (size_t i = 0; i < n; pos += len[i], ++i) {
        if (isRest(melody.notes[i]) || i + 1 >= n || !isRest(melody.notes[i + 1]))
            continue;
        size_t j = i + 1;
        int64_t rests = 0;
        for (; j < n && isRest(melody.notes[j]); ++j)
            rests += len[j];
        const int64_t noteEnd = pos + len[i];
        const int64_t end = noteEnd + rests;
        const int64_t over = end % bar;
        const int64_t line = end - over;
        int64_t take = rests;
        if (over > 0 && 2 * over < bar && line > pos)
            take = std::max<int64_t>(0, line - noteEnd);
        len[i] += take;
        for (size_t k = i + 1; k < j && take > 0; ++k) {
            const int64_t t = std::min(take, len[k]);
            len[k] -= t;
            take -= t;
        }
    }
    return len;
}

int64_t BarFeatureBuilder::longNoteThreshold(const NoteSpan& melody) const
{
    const int64_t pitched = std::count_if(melody.notes.begin(), melody.notes.end(), [](uint8_t v) { return !isRest(v); });
    const int64_t bar = m_metre.ticksPerBar();
    int64_t tkLong = 3 * m_metre.ticksPerBeat() / 2;
    const int64_t b = bar * (m_barCount - m_pickup) * 3 / std::max<int64_t>(pitched, 1);
    if (tkLong < b)
        tkLong = std::min(b, bar);
    return tkLong;
}

void BarFeatureBuilder::markLongNotes(const NoteSpan& melody, const std::vector<int64_t>& adjusted, int64_t tkLong)
{
    const int64_t bar = m_metre.ticksPerBar();
    int64_t pos = 0;
    for (size_t i = 0; i < melody.size(); pos += adjusted[i], ++i) {
        if (isRest(melody.notes[i]) || adjusted[i] < tkLong)
            continue;
        const int degree = longNoteDegree(degreeOf(melody.notes[i]));
        if (degree < 0)
            continue;
        const int64_t b = pos / bar;
        if (b >= m_barCount)
            break;
        const int64_t onset = pos % bar;
        m_out.bars[b].longNote = degree;
        m_out.bars[b].longOnset = onset;
        m_out.bars[b].longLength = adjusted[i];
        const int64_t end = pos + adjusted[i];
        if (2 * (end - (b + 1) * bar) < bar)
            continue;
        const bool lastBeat = onset >= bar - m_metre.ticksPerBeat();
        for (int64_t next = b + 1; next < m_barCount; ++next) {
            const int64_t remaining = end - next * bar;
            if (2 * remaining < bar)
                break;
            BarRecord& r = m_out.bars[next];
            r.longNote = degree;
            r.longOnset = (next == b + 1 && lastBeat) ? 0 : -1;
            r.longLength = remaining;
        }
    }
}

void BarFeatureBuilder::walkProfiles(const NoteSpan& melody, const std::vector<int64_t>& adjusted)
{
    StepChooser chooser(m_metre);
    int64_t pos = 0;
    for (size_t i = 0; i < melody.size(); pos += adjusted[i], ++i) {
        const StepKind kind = chooser.choose(adjusted[i]);
        if (isRest(melody.notes[i]))
            continue;
        const int degree = degreeOf(melody.notes[i]);
        const int64_t step = m_metre.stepTicks(kind);
        int64_t ownLeft = melody.lengths[i];  // time counts only what was sung
        for (int64_t x = pos; x + step <= pos + adjusted[i]; x += step) {
            advanceTo(x);
            m_weight[degree] += m_metre.weightAt(kind, x);
            const int64_t t = std::min(step, ownLeft);
            m_time[degree] += t;
            ownLeft -= t;
        }
    }
    // An unfinished last bar is ranked on what it holds, so every bar has
    // candidates and the song's last chord follows its last notes.
    advanceTo(static_cast<int64_t>(m_barCount) * m_metre.ticksPerBar());
}

void BarFeatureBuilder::advanceTo(int64_t pos)
{
    const int64_t bar = m_metre.ticksPerBar();
    const bool halves = m_metre.code() == 0;
    while (m_bar < m_barCount) {
        if (pos / bar > m_bar) {
            if (halves && !m_halfDone)
                closeHalf();
            closeBar();
            continue;
        }
        if (halves && !m_halfDone && 2 * (pos % bar) >= bar)
            closeHalf();
        break;
    }
}

void BarFeatureBuilder::closeHalf()
{
    m_out.bars[m_bar].first = rankCandidates(m_weight);
    m_out.tonicSum += m_weight[0];
    m_out.relativeSum += m_weight[9];
    m_weight.fill(0);
    m_halfDone = true;
}

void BarFeatureBuilder::closeBar()
{
    BarRecord& r = m_out.bars[m_bar];
    (m_metre.code() == 0 ? r.second : r.first) = rankCandidates(m_weight);
    m_out.tonicSum += m_weight[0];
    m_out.relativeSum += m_weight[9];
    static constexpr int kDegreeSemitone[7] = {0, 2, 4, 5, 7, 9, 11};
    for (int d = 0; d < 7; ++d)
        r.degreeTime[d] = m_time[kDegreeSemitone[d]];
    r.raisedSolTime = m_time[8];
    m_weight.fill(0);
    m_time.fill(0);
    ++m_bar;
    m_halfDone = false;
}

}  // namespace tonalyze
