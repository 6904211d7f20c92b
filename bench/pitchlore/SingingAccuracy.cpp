// The team's yardstick for recognition on real voices: every FLAC take of a
// folder, with its label file (onset, offset, fractional MIDI pitch per sung
// note), goes through the chain `melodrift-cli recognize` uses (the file
// decoded by Sonobox, cut into frames by its take analyser, recognised by the
// Pitchlore library loaded by name) and the notes are compared with the labels.
//
// Usage: pitchlore_singing <folder>
// Environment: SINGING_VERBOSE=1 prints the labelled and recognised notes of
// each take; SINGING_NOTES=1 prints every sung note lost to a wrong semitone
// with the pitches that led there and each take's tunings, and every other
// lost note with what was heard around it; SINGING_LEVELS=1 with it the level
// and pitch of every frame around a note lost otherwise than to its pitch;
// SINGING_FFT / SINGING_FPB override the analysis settings; SINGING_HALF=1 or
// 2 measures every other take only, so a change tuned on one half is checked
// on the other.
//
// Closing lines tell what limits the figures: how many pitches our frames
// would give right if every note had the labels' boundaries, the onset F of
// the recogniser's notes before they are put on the beat grid, and the
// figures within the labels' own precision: most label files give a pitch
// only to the nearest bin of a transform, and a label then allows every note
// within half a bin of it. A last line gives, by register, how far such
// labels lie above our frames.
//
// The singers chose their own tempo: the tempo is estimated from the labels
// (the most common onset distance is a beat) and one global time offset per
// take is allowed.
#include "Analyser.h"
#include "AnalyserConfig.h"
#include "NoteTracker.h"
#include "PitchloreLibrary.h"
#include "SoundFile.h"
#include "SpectrumAnalyser.h"
#include "TakeAnalyser.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace melodrift::sonobox;
namespace fs = std::filesystem;

struct Label {
    double onset, offset, pitch;
};

struct Note {
    double onset, offset;
    int pitch;
    // With SINGING_NOTES: the recogniser's pitch before its tuning, after it,
    // and the note number before the key.
    double measured = -1;
    double adjusted = -1;
    int unkeyed = -1;
};

std::vector<Label> readLabels(const fs::path& path)
{
    std::vector<Label> labels;
    std::ifstream in(path);
    Label l{};
    while (in >> l.onset >> l.offset >> l.pitch)
        labels.push_back(l);
    return labels;
}

int estimateTempo(const std::vector<Label>& labels)
{
    std::vector<double> gaps;
    for (size_t i = 1; i < labels.size(); ++i)
        gaps.push_back(labels[i].onset - labels[i - 1].onset);
    std::sort(gaps.begin(), gaps.end());
    double beat = gaps.empty() ? 0.5 : gaps[gaps.size() / 2];
    double tempo = 60.0 / std::max(beat, 0.05);
    while (tempo > 160)
        tempo /= 2;
    while (tempo < 60)
        tempo *= 2;
    return static_cast<int>(std::lround(tempo));
}

// The singer's own tuning over the take: labels are measured pitches, so a
// singer a third of a semitone flat still means the notes they aimed at. The
// deviation is circular (0.45 sharp and 0.55 flat are one tuning).
double labelTuning(const std::vector<Label>& labels)
{
    double x = 0, y = 0;
    for (const Label& l : labels) {
        double angle = 2 * M_PI * (l.pitch - std::floor(l.pitch));
        x += std::cos(angle) * (l.offset - l.onset);
        y += std::sin(angle) * (l.offset - l.onset);
    }
    return x == 0 && y == 0 ? 0 : std::atan2(y, x) / (2 * M_PI);
}

// A sung note as a range of note numbers: one number, or where the label
// cannot tell two semitones apart, every number its precision allows.
struct Sung {
    int low, high;
    bool is(int pitch) const { return low <= pitch && pitch <= high; }
};

// Matches of the optimal alignment (edit distance with substitutions) of the
// sung and the recognised pitch sequences.
int alignedMatches(const std::vector<Sung>& want, const std::vector<int>& got, int& edits)
{
    const size_t n = want.size(), m = got.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (size_t i = 0; i <= n; ++i)
        d[i][0] = static_cast<int>(i);
    for (size_t j = 0; j <= m; ++j)
        d[0][j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i)
        for (size_t j = 1; j <= m; ++j)
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (want[i - 1].is(got[j - 1]) ? 0 : 1)});
    edits = d[n][m];
    int matches = 0;
    size_t i = n, j = m;
    while (i > 0 && j > 0) {
        if (d[i][j] == d[i - 1][j - 1] + (want[i - 1].is(got[j - 1]) ? 0 : 1)) {
            matches += want[i - 1].is(got[j - 1]);
            --i;
            --j;
        } else if (d[i][j] == d[i - 1][j] + 1) {
            --i;
        } else {
            --j;
        }
    }
    return matches;
}

// One-to-one matching of onsets within the tolerance, in time order.
int matchOnsets(const std::vector<Label>& labels, const std::vector<Sung>& want, const std::vector<Note>& notes,
                double shift, bool withPitch, std::vector<int>* matchOf = nullptr)
{
    constexpr double kTolerance = 0.1;
    std::vector<bool> used(notes.size(), false);
    int matched = 0;
    if (matchOf)
        matchOf->assign(labels.size(), -1);
    for (size_t k = 0; k < labels.size(); ++k) {
        int best = -1;
        double bestDistance = kTolerance;
        for (size_t i = 0; i < notes.size(); ++i) {
            double distance = std::fabs(notes[i].onset + shift - labels[k].onset);
            if (!used[i] && distance <= bestDistance && (!withPitch || want[k].is(notes[i].pitch))) {
                best = static_cast<int>(i);
                bestDistance = distance;
            }
        }
        if (best >= 0) {
            used[static_cast<size_t>(best)] = true;
            ++matched;
            if (matchOf)
                (*matchOf)[k] = best;
        }
    }
    return matched;
}

enum Loss { kFound, kUnvoiced, kWrongSemitone, kMerged, kSplit, kWrongOnset, kLossKinds };
const char* const kLossNames[] = {"found", "unvoiced", "wrong-semitone", "merged", "split", "wrong-onset"};

struct Score {
    int labels = 0, outputs = 0, aligned = 0, alignedOf = 0, untransposed = 0, transposed = 0, onsetPitch = 0, onset = 0, framesRight = 0, octave = 0;
    int loss[kLossKinds] = {};
    // What limits the figures: sung notes whose pitch our frames would give
    // right with the labels' own boundaries, and the onset matches and notes
    // of the recogniser before its notes are put on the beat grid.
    int boundedRight = 0, ungriddedOnset = 0, ungriddedOutputs = 0;
    // The sequence and onset+pitch matches where a label on a transform's bin
    // allows every note within half a bin of it (the strict figures elsewhere).
    int resolvedAligned = 0, resolvedOnsetPitch = 0;
    int binned = 0;  // takes whose labels lie on the bins
    // Each note's frame pitch in Hz and how far its label lies above it.
    std::vector<std::pair<double, double>> labelAbove;

    void add(const Score& s)
    {
        labels += s.labels;
        outputs += s.outputs;
        aligned += s.aligned;
        alignedOf += s.alignedOf;
        untransposed += s.untransposed;
        transposed += s.transposed != 0;
        onsetPitch += s.onsetPitch;
        onset += s.onset;
        framesRight += s.framesRight;
        octave += s.octave;
        boundedRight += s.boundedRight;
        ungriddedOnset += s.ungriddedOnset;
        ungriddedOutputs += s.ungriddedOutputs;
        resolvedAligned += s.resolvedAligned;
        resolvedOnsetPitch += s.resolvedOnsetPitch;
        binned += s.binned;
        labelAbove.insert(labelAbove.end(), s.labelAbove.begin(), s.labelAbove.end());
        for (int k = 0; k < kLossKinds; ++k)
            loss[k] += s.loss[k];
    }
    // Extra notes count against the sequence as much as missing ones.
    double sequence() const { return alignedOf ? double(aligned) / alignedOf : 0; }
    double fOnsetPitch() const { return labels + outputs ? 2.0 * onsetPitch / (labels + outputs) : 0; }
    double fOnset() const { return labels + outputs ? 2.0 * onset / (labels + outputs) : 0; }
    double binSequence() const { return alignedOf ? double(resolvedAligned) / alignedOf : 0; }
    double fBinOnsetPitch() const { return labels + outputs ? 2.0 * resolvedOnsetPitch / (labels + outputs) : 0; }
    double fUngriddedOnset() const
    {
        return labels + ungriddedOutputs ? 2.0 * ungriddedOnset / (labels + ungriddedOutputs) : 0;
    }
};

// Frame tracks of the take as the engine would hand them to the recogniser:
// used only to tell unvoiced frames from wrong ones.
struct Frames {
    std::vector<double> pitch;
    std::vector<double> level;  // natural log of the amplitude
    double hop = 0;
    int fft = 0;
    double at(double seconds) const { return seconds * 44100 / hop - 0.5; }
};

// The take's frames through an analyser of this process, as the engine
// hands them to the library.
void analyseFrames(pitchlore::Analyser& a, const MonoBuffer& take, const AnalysisSettings& settings, int tempo)
{
    const double hop = 60.0 * 44100 / (tempo * settings.framesPerBeat);
    a.reset(tempo, 0, settings.fftSize, static_cast<uint32_t>(settings.framesPerBeat));
    SpectrumAnalyser spectrum(static_cast<size_t>(settings.fftSize));
    for (uint32_t i = 0; (i + 0.5) * hop < take.size(); ++i)
        a.frame(i, spectrum.Analyse(take.data(), take.size(), static_cast<long long>((i + 0.5) * hop)).data());
}

Frames frameTracks(const pitchlore::Analyser& a, const AnalysisSettings& settings, int tempo)
{
    Frames f;
    f.fft = settings.fftSize;
    f.hop = 60.0 * 44100 / (tempo * settings.framesPerBeat);
    double silence = a.tracks().loudest() / 128;
    for (uint32_t i = 0; i < a.tracks().count(); ++i)
    {
        f.pitch.push_back(a.tracks().amplitude()[i] > silence ? a.tracks().pitch()[i] : -1.0);
        f.level.push_back(std::log(a.tracks().amplitude()[i] + 1e-9));
    }
    return f;
}

// The notes before the key pulls them onto its scale: no key finder is bound
// in this process.
std::vector<Note> rawNotes(const MonoBuffer& take, const AnalysisSettings& settings, int tempo, int leadInBars)
{
    pitchlore::Analyser a;
    analyseFrames(a, take, settings, tempo);
    a.analyseMelody(-1);
    std::vector<Note> notes;
    const double frameSeconds = 60.0 / tempo / settings.framesPerBeat;
    double t = leadInBars * 4 * 60.0 / tempo + frameSeconds / 2;
    for (size_t i = 0; i < a.notes().size(); ++i) {
        const pitchlore::NoteRecord& r = a.notes()[i];
        double end = t + r.frames * frameSeconds;
        if (!r.isRest())
            notes.push_back(Note{t, end, a.outputs().noteNumbers()[i], r.pitch, a.outputs().adjusted()[i], a.outputs().noteNumbers()[i]});
        t = end;
    }
    return notes;
}

// The median of the voiced frames within a labelled note, its first and last
// edge (a share of its length) left out; NAN when none is voiced.
struct SpanPitch {
    double median = NAN;
    int voiced = 0, frames = 0;
};

SpanPitch spanPitch(const Frames& frames, const Label& l, double edge)
{
    SpanPitch p;
    const double len = l.offset - l.onset;
    std::vector<double> voiced;
    for (long i = std::max(0L, std::lround(frames.at(l.onset + len * edge)));
         i <= std::lround(frames.at(l.offset - len * edge)) && i < static_cast<long>(frames.pitch.size()); ++i) {
        ++p.frames;
        if (frames.pitch[static_cast<size_t>(i)] >= 0)
            voiced.push_back(frames.pitch[static_cast<size_t>(i)]);
    }
    p.voiced = static_cast<int>(voiced.size());
    if (!voiced.empty()) {
        std::nth_element(voiced.begin(), voiced.begin() + static_cast<long>(voiced.size() / 2), voiced.end());
        p.median = voiced[voiced.size() / 2];
    }
    return p;
}

// The note onsets of the recogniser's own tracker before the grid: how much
// the beat grid's rounding (a quarter or half beat) costs the onsets.
std::vector<Note> ungriddedNotes(const pitchlore::Analyser& a, const AnalysisSettings& settings, int tempo)
{
    std::vector<Note> notes;
    auto config = pitchlore::AnalyserConfig::make(tempo, 0, settings.fftSize, static_cast<uint32_t>(settings.framesPerBeat));
    if (!config)
        return notes;
    const double frameSeconds = 60.0 / tempo / settings.framesPerBeat;
    double t = frameSeconds / 2;
    for (const pitchlore::NoteRecord& r : pitchlore::NoteTracker(*config).track(a.tracks())) {
        double end = t + r.frames * frameSeconds;
        if (!r.isRest())
            notes.push_back(Note{t, end, -1});
        t = end;
    }
    return notes;
}

// Sung notes our frames give right when each takes the median of the frames
// within its labelled span (its first and last tenth left out), one tuning
// for the take (their circular mean) and the best transposition: the most
// note boundaries alone could bring.
int boundedPitchesRight(const std::vector<Label>& labels, const std::vector<int>& want, const Frames& frames)
{
    std::vector<double> medians(labels.size(), NAN);
    double x = 0, y = 0;
    for (size_t k = 0; k < labels.size(); ++k) {
        const Label& l = labels[k];
        const double len = l.offset - l.onset;
        medians[k] = spanPitch(frames, l, 0.1).median;
        if (std::isnan(medians[k]))
            continue;
        const double angle = 2 * M_PI * (medians[k] - std::floor(medians[k]));
        x += std::cos(angle) * len;
        y += std::sin(angle) * len;
    }
    const double tuning = x == 0 && y == 0 ? 0 : std::atan2(y, x) / (2 * M_PI);
    int best = 0;
    for (int transpose = -2; transpose <= 2; ++transpose) {
        int right = 0;
        for (size_t k = 0; k < labels.size(); ++k)
            right += !std::isnan(medians[k]) && std::lround(medians[k] - tuning) + transpose == want[k];
        best = std::max(best, right);
    }
    return best;
}

// Onsets matched within the tolerance after the best global offset.
int bestOnsetMatches(const std::vector<Label>& labels, const std::vector<Sung>& want, const std::vector<Note>& notes)
{
    int best = 0;
    for (double shift = -1.0; shift <= 1.0001; shift += 0.005)
        best = std::max(best, matchOnsets(labels, want, notes, shift, false));
    return best;
}

// Most label files give pitches only on the bins of an 8192-point transform
// at 44.1 kHz (5.38 Hz apart: 0.35 semitone at middle C, 0.7 an octave
// below), written to two decimals. Such a label stands for any pitch within
// half a bin of it.
constexpr double kLabelBinHz = 44100.0 / 8192;

double hertz(double pitch) { return 440 * std::pow(2.0, (pitch - 69) / 12); }
double pitchOf(double hz) { return 69 + 12 * std::log2(hz / 440); }

bool onFftBins(const std::vector<Label>& labels)
{
    size_t on = 0;
    for (const Label& l : labels) {
        const double bins = hertz(l.pitch) / kLabelBinHz;
        const double rounding = (hertz(l.pitch + 0.005) - hertz(l.pitch)) / kLabelBinHz;
        on += std::fabs(bins - std::round(bins)) <= rounding + 0.002;
    }
    return !labels.empty() && on * 10 >= labels.size() * 9;
}

std::vector<Sung> exactly(const std::vector<int>& want)
{
    std::vector<Sung> sung;
    for (int p : want)
        sung.push_back(Sung{p, p});
    return sung;
}

// The notes a binned label allows after the take's tuning.
std::vector<Sung> withinBins(const std::vector<Label>& labels, double tuning)
{
    std::vector<Sung> sung;
    for (const Label& l : labels) {
        const double hz = hertz(l.pitch);
        sung.push_back(Sung{static_cast<int>(std::lround(pitchOf(std::max(hz - kLabelBinHz / 2, 1.0)) - tuning)),
                            static_cast<int>(std::lround(pitchOf(hz + kLabelBinHz / 2) - tuning))});
    }
    return sung;
}

struct Matching {
    int untransposed = 0, aligned = 0, transposed = 0, onsetPitch = 0, onset = 0;
    double shift = 0;
    std::vector<int> matchOf;  // the note matched to each sung one, or -1
};

Matching match(const std::vector<Label>& labels, std::vector<Sung> want, const std::vector<Note>& notes)
{
    Matching m;
    std::vector<int> got;
    for (const Note& n : notes)
        got.push_back(n.pitch);
    // The recordings and their labels disagree on absolute pitch by up to a
    // semitone and a half on some takes (the labels of man1_twinkle say 46.88
    // where the waveform's period says 46.3), so, like the time offset, one
    // global transposition per take is allowed; the untransposed figure is
    // printed as well.
    int edits = 0;
    m.untransposed = alignedMatches(want, got, edits);
    m.aligned = m.untransposed;
    for (int t : {-1, 1, -2, 2}) {
        std::vector<Sung> moved = want;
        for (Sung& p : moved)
            p = Sung{p.low + t, p.high + t};
        const int aligned = alignedMatches(moved, got, edits);
        if (aligned > m.aligned) {
            m.aligned = aligned;
            m.transposed = t;
        }
    }
    for (Sung& p : want)
        p = Sung{p.low + m.transposed, p.high + m.transposed};

    // One global offset: the one giving most onset+pitch matches, then most
    // onset matches.
    int bestKey = -1;
    for (double shift = -1.0; shift <= 1.0001; shift += 0.005) {
        int key = matchOnsets(labels, want, notes, shift, true) * 1000 + matchOnsets(labels, want, notes, shift, false);
        if (key > bestKey) {
            bestKey = key;
            m.shift = shift;
        }
    }
    m.onsetPitch = matchOnsets(labels, want, notes, m.shift, true, &m.matchOf);
    m.onset = matchOnsets(labels, want, notes, m.shift, false);
    return m;
}

Score score(const std::vector<Label>& labels, const std::vector<Note>& notes, const Frames& frames, bool verbose,
            bool perNote)
{
    Score s;
    s.labels = static_cast<int>(labels.size());
    s.outputs = static_cast<int>(notes.size());
    const double tuning = labelTuning(labels);
    std::vector<int> want, got;
    for (const Label& l : labels)
        want.push_back(static_cast<int>(std::lround(l.pitch - tuning)));
    for (const Note& n : notes)
        got.push_back(n.pitch);
    s.boundedRight = boundedPitchesRight(labels, want, frames);
    const Matching strict = match(labels, exactly(want), notes);
    s.untransposed = strict.untransposed;
    s.aligned = strict.aligned;
    s.transposed = strict.transposed;
    s.alignedOf = std::max(s.labels, s.outputs);
    for (int& p : want)
        p += s.transposed;
    const double bestShift = strict.shift;
    const std::vector<int>& matchOf = strict.matchOf;
    s.onsetPitch = strict.onsetPitch;
    s.onset = strict.onset;
    const bool binned = onFftBins(labels);
    if (binned) {
        const Matching resolved = match(labels, withinBins(labels, tuning), notes);
        s.resolvedAligned = resolved.aligned;
        s.resolvedOnsetPitch = resolved.onsetPitch;
        s.binned = 1;
    } else {
        s.resolvedAligned = s.aligned;
        s.resolvedOnsetPitch = s.onsetPitch;
    }

    // The frames' pitch against the labels' after the take's median
    // difference (the absolute disagreement above) is taken out.
    std::vector<double> medians(labels.size(), NAN);
    std::vector<int> voicedFrames(labels.size()), middleFrames(labels.size());
    for (size_t k = 0; k < labels.size(); ++k) {
        // The frames of the note's middle half.
        const SpanPitch p = spanPitch(frames, labels[k], 0.25);
        voicedFrames[k] = p.voiced;
        middleFrames[k] = p.frames;
        medians[k] = p.median - labels[k].pitch;
    }
    std::vector<double> diffs;
    for (double d : medians)
        if (!std::isnan(d))
            diffs.push_back(d);
    std::sort(diffs.begin(), diffs.end());
    const double bias = diffs.empty() ? 0 : diffs[diffs.size() / 2];
    for (size_t k = 0; k < labels.size() && binned; ++k)
        if (!std::isnan(medians[k]) && std::fabs(medians[k]) < 6) {
            const double heard = hertz(labels[k].pitch + medians[k]);
            s.labelAbove.emplace_back(heard, hertz(labels[k].pitch) - heard);
        }
    for (size_t k = 0; k < labels.size(); ++k) {
        const Label& l = labels[k];
        if (!std::isnan(medians[k])) {
            double diff = medians[k] - bias;
            s.framesRight += std::fabs(diff) < 0.5;
            s.octave += std::fabs(std::fabs(diff) - 12) < 1.0;
        }
        Loss loss = kFound;
        if (matchOf[k] < 0) {
            double mid = (l.onset + l.offset) / 2;
            int covering = -1, startsInside = 0;
            for (size_t i = 0; i < notes.size(); ++i) {
                double on = notes[i].onset + bestShift, off = notes[i].offset + bestShift;
                if (on <= mid && mid < off)
                    covering = static_cast<int>(i);
                if (on > l.onset + 0.1 && on < l.offset - 0.05)
                    ++startsInside;
            }
            auto covers = [&](size_t other) {
                if (covering < 0)
                    return false;
                double m = (labels[other].onset + labels[other].offset) / 2;
                const Note& n = notes[static_cast<size_t>(covering)];
                return n.onset + bestShift <= m && m < n.offset + bestShift;
            };
            if (2 * voicedFrames[k] < middleFrames[k])
                loss = kUnvoiced;
            else if (covering < 0 || got[static_cast<size_t>(covering)] != want[k])
                loss = kWrongSemitone;
            else if ((k > 0 && covers(k - 1)) || (k + 1 < labels.size() && covers(k + 1)))
                loss = kMerged;
            else if (startsInside > 0)
                loss = kSplit;
            else
                loss = kWrongOnset;
        }
        ++s.loss[loss];
        if (perNote && loss != kFound && loss != kWrongSemitone) {
            const char* name = loss == kSplit ? "split" : loss == kMerged ? "merge" : loss == kUnvoiced ? "unvoi" : "onset";
            std::printf("  %-5s %6.2f-%6.2f want %3d label %5.2f | heard", name, l.onset, l.offset, want[k], l.pitch);
            for (const Note& c : notes)
                if (c.onset + bestShift < l.offset + 0.05 && c.offset + bestShift > l.onset - 0.05)
                    std::printf(" %d(%.2f) %.2f-%.2f", c.pitch, c.measured, c.onset + bestShift, c.offset + bestShift);
            std::printf("\n");
            if (std::getenv("SINGING_LEVELS")) {
                // Level and pitch of the frames from the label before to the label after.
                double from = k > 0 ? labels[k - 1].onset : l.onset - 0.3;
                double to = k + 1 < labels.size() ? labels[k + 1].offset : l.offset + 0.3;
                for (long i = std::max(0L, std::lround(frames.at(from))); i <= std::lround(frames.at(to)) && i < static_cast<long>(frames.pitch.size()); ++i) {
                    double t = (i + 0.5) * frames.hop / 44100;
                    bool inside = t >= l.onset && t < l.offset;
                    std::printf("    %6.2f %c %5.2f %6.2f\n", t, inside ? '*' : ' ', frames.level[static_cast<size_t>(i)], frames.pitch[static_cast<size_t>(i)]);
                }
            }
        }
        if (perNote && loss == kWrongSemitone) {
            // Where a wrong semitone comes from, in semitones from the sung
            // note: the label after the take's tuning, the frames' median over
            // the note's middle (take bias removed); the note heard over the
            // label's middle, its pitch before the recogniser's tuning, after
            // it, and its number before the key.
            double mid = (l.onset + l.offset) / 2;
            const Note* n = nullptr;
            for (const Note& c : notes)
                if (c.onset + bestShift <= mid && mid < c.offset + bestShift)
                    n = &c;
            std::printf("  wrong %6.2f-%6.2f want %3d label %+5.2f frames %+5.2f", l.onset, l.offset, want[k],
                        l.pitch - tuning + s.transposed - want[k],
                        std::isnan(medians[k]) ? NAN : medians[k] - bias + l.pitch - tuning + s.transposed - want[k]);
            if (n)
                std::printf(" | heard %3d %6.2f-%6.2f raw %6.2f adjusted %+5.2f unkeyed %3d\n", n->pitch,
                            n->onset + bestShift, n->offset + bestShift, n->measured, n->adjusted - want[k], n->unkeyed);
            else
                std::printf(" | nothing heard\n");
        }
    }
    if (perNote) {
        double recTuning = NAN;
        for (const Note& n : notes)
            if (n.measured >= 0)
                recTuning = n.measured - n.adjusted;
        std::printf("  tuning: labels %+.2f, frames-labels bias %+.2f, recogniser %+.2f\n", tuning, bias, recTuning);
    }
    if (verbose) {
        std::printf("  offset %+.3f s\n  sung:", bestShift);
        for (size_t k = 0; k < labels.size(); ++k)
            std::printf(" %d@%.2f", want[k], labels[k].onset);
        std::printf("\n  heard:");
        for (const Note& n : notes)
            std::printf(" %d@%.2f", n.pitch, n.onset + bestShift);
        std::printf("\n");
    }
    return s;
}

void printRow(const char* name, int tempo, const Score& s)
{
    std::printf("%-16s %5d %4d/%-4d %+3d %5.3f %5.3f %5.3f %5.3f %6.3f %5.3f %5.3f |", name, tempo, s.outputs, s.labels,
                s.transposed, s.alignedOf ? double(s.untransposed) / s.alignedOf : 0, s.sequence(), s.fOnsetPitch(),
                s.fOnset(), s.labels ? double(s.framesRight) / s.labels : 0, s.binSequence(), s.fBinOnsetPitch());
    for (int k = 1; k < kLossKinds; ++k)
        std::printf(" %*d", static_cast<int>(std::string(kLossNames[k]).size()), s.loss[k]);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder of FLAC takes with .txt labels>\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::printf("no folder %s: nothing measured\n", folder.c_str());
        return 0;
    }
    AnalysisSettings settings;
    if (const char* v = std::getenv("SINGING_FFT"))
        settings.fftSize = std::atoi(v);
    if (const char* v = std::getenv("SINGING_FPB"))
        settings.framesPerBeat = std::atoi(v);
    const bool verbose = std::getenv("SINGING_VERBOSE") != nullptr;
    const bool perNote = std::getenv("SINGING_NOTES") != nullptr;
    PitchloreLibrary recogniser;
    if (!recogniser.Ready()) {
        std::fprintf(stderr, "the recogniser library cannot be loaded: %s\n", recogniser.Error().c_str());
        return 1;
    }
    std::vector<fs::path> takes;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().extension() == ".flac")
            takes.push_back(e.path());
    std::sort(takes.begin(), takes.end());
    if (const char* v = std::getenv("SINGING_HALF")) {
        // Every other take, the first (1) or the second (2) of each pair: tune
        // on one half, report the other.
        const size_t first = std::atoi(v) == 2 ? 1 : 0;
        std::vector<fs::path> half;
        for (size_t i = first; i < takes.size(); i += 2)
            half.push_back(takes[i]);
        takes.swap(half);
    }
    if (takes.empty()) {
        std::printf("no takes in %s: nothing measured\n", folder.c_str());
        return 0;
    }
    std::printf("%-16s %5s %9s %3s %5s %5s %5s %5s %6s %5s %5s | unvoiced wrong-semitone merged split wrong-onset\n",
                "take", "tempo", "notes/sung", "tr", "seq0", "seq", "F-o+p", "F-on", "frames", "b-seq", "b-o+p");
    Score total;
    double audioSeconds = 0, recogniseSeconds = 0;
    for (const fs::path& take : takes) {
        auto labels = readLabels(fs::path(take).replace_extension(".txt"));
        auto samples = ReadMonoFile(take.string());
        if (labels.empty() || !samples || samples->empty()) {
            std::printf("%-16s unreadable or unlabelled, skipped\n", take.stem().c_str());
            continue;
        }
        const int tempo = std::clamp(estimateTempo(labels), 50, 200);
        auto started = std::chrono::steady_clock::now();
        Recognition r = RecogniseTake(recogniser, settings, *samples, tempo, 0);
        // The notes as the command line reads them: in the recognised key.
        int count = recogniser.GetMelody(nullptr, nullptr, -1);
        std::vector<uint8_t> pitches(static_cast<size_t>(std::max(count, 0)));
        std::vector<uint16_t> ticks(pitches.size());
        if (count > 0)
            recogniser.GetMelody(pitches.data(), ticks.data(), -1);
        recogniseSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        audioSeconds += samples->size() / 44100.0;
        const double secondsPerTick = 60.0 / tempo / 192;
        const double frameSeconds = 60.0 / tempo / settings.framesPerBeat;
        // Ticks count from the first bar after the lead-in; a frame stands
        // for its window's centre.
        double t = r.leadInBars * 4 * 60.0 / tempo + frameSeconds / 2;
        std::vector<Note> notes;
        for (size_t i = 0; i < pitches.size(); ++i) {
            double end = t + ticks[i] * secondsPerTick;
            if (pitches[i] < 128)
                notes.push_back(Note{t, end, pitches[i]});
            t = end;
        }
        // One analysis of the take for its frames and the notes before the grid.
        pitchlore::Analyser analysed;
        analyseFrames(analysed, *samples, settings, tempo);
        Frames frames = frameTracks(analysed, settings, tempo);
        if (perNote) {
            // The same analysis in this process, without the key, for the
            // pitches before rounding (the records match the library's).
            std::vector<Note> raw = rawNotes(*samples, settings, tempo, r.leadInBars);
            if (raw.size() == notes.size())
                for (size_t i = 0; i < raw.size(); ++i) {
                    notes[i].measured = raw[i].measured;
                    notes[i].adjusted = raw[i].adjusted;
                    notes[i].unkeyed = raw[i].unkeyed;
                }
        }
        if (verbose)
            std::printf("%s\n", take.stem().c_str());
        if (perNote)
            std::printf("%s\n", take.stem().c_str());
        Score s = score(labels, notes, frames, verbose, perNote);
        const std::vector<Note> ungridded = ungriddedNotes(analysed, settings, tempo);
        s.ungriddedOutputs = static_cast<int>(ungridded.size());
        s.ungriddedOnset = bestOnsetMatches(labels, exactly(std::vector<int>(labels.size())), ungridded);
        printRow(take.stem().c_str(), tempo, s);
        total.add(s);
    }
    std::printf("%s\n", std::string(112, '-').c_str());
    printRow("ALL", 0, total);
    std::printf("columns: tr the transposition allowed, seq0 the aligned pitch sequence without it, seq with it;\n"
                "frames: a note's median frame pitch within half a semitone of the label (take bias removed);\n"
                "b-seq, b-o+p: seq and F-o+p within the labels' precision (below);\n"
                "the last five count sung notes missed, by cause\n");
    std::printf("aligned pitch-sequence accuracy %.3f, onset+pitch F %.3f, onset F %.3f, notes %d for %d sung (%+.1f%%), %d takes transposed\n",
                total.sequence(), total.fOnsetPitch(), total.fOnset(), total.outputs, total.labels,
                100.0 * (total.outputs - total.labels) / std::max(1, total.labels), total.transposed);
    std::printf("frame pitch within half a semitone %.3f, an octave off %d notes\n",
                total.labels ? double(total.framesRight) / total.labels : 0, total.octave);
    std::printf("limits: with the sung notes' own boundaries our frames give %.3f of the pitches right;\n"
                "before the beat grid the onset F is %.3f (%d notes)\n",
                total.labels ? double(total.boundedRight) / total.labels : 0, total.fUngriddedOnset(),
                total.ungriddedOutputs);
    std::printf("within the labels' precision (%d takes labelled on a transform's bins, a note right within half a\n"
                "bin of its label): aligned pitch-sequence accuracy %.3f, onset+pitch F %.3f\n",
                total.binned, total.binSequence(), total.fBinOnsetPitch());
    // The labels' own offset from our frames by register: a tuning would be
    // the same in semitones everywhere; the labels' is nearly the same in Hz.
    std::printf("labels on bins above our frames (median over the notes' middles):");
    struct Band {
        const char* name;
        double from, to;
    };
    for (const Band& band : {Band{"under 160 Hz", 0, 160}, Band{"160-260 Hz", 160, 260}, Band{"260-400 Hz", 260, 400},
                             Band{"over 400 Hz", 400, 1e9}}) {
        std::vector<double> above, semitones;
        for (auto [heard, gap] : total.labelAbove)
            if (heard >= band.from && heard < band.to) {
                above.push_back(gap);
                semitones.push_back(pitchOf(heard + gap) - pitchOf(heard));
            }
        if (above.empty())
            continue;
        std::nth_element(above.begin(), above.begin() + static_cast<long>(above.size() / 2), above.end());
        std::nth_element(semitones.begin(), semitones.begin() + static_cast<long>(semitones.size() / 2), semitones.end());
        std::printf("\n  %s: %+.1f Hz (%+.2f semitone, %zu notes)", band.name, above[above.size() / 2],
                    semitones[semitones.size() / 2], above.size());
    }
    std::printf("\n");
    std::printf("recognition %.2f s for %.1f s of takes (%.0fx real time)\n", recogniseSeconds, audioSeconds,
                recogniseSeconds > 0 ? audioSeconds / recogniseSeconds : 0);
    return 0;
}
