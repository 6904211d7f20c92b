// Measures note recognition on real sung takes: each FLAC take with its label
// file (onset, offset, fractional MIDI pitch per note) is cut into frames,
// recognised, and the notes compared with the labels.
//
// Usage: pitchlore_singing <folder> [FFT] [frames-per-beat]
// Environment: SINGING_NO_KEY leaves key snapping out, SINGING_VERBOSE
// prints the first notes of each take.
// The singers chose their own tempo, so the tempo is estimated from the
// labels and one global time offset per take is allowed.
#include "Analyser.h"
#include "SungMelody.h"

#include "MelodriftPlatform.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Label {
    double onset, offset, pitch;
};

struct Note {
    double onset, offset;
    int pitch;
};

std::vector<float> decode(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr)
        return {};
    std::vector<float> raw(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, raw.data(), info.frames);
    sf_close(f);
    std::vector<float> mono(static_cast<size_t>(info.frames));
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = raw[i * static_cast<size_t>(info.channels)];
    if (info.samplerate == 44100)
        return mono;
    // Linear resampling is enough for pitch work at these rates.
    double ratio = info.samplerate / 44100.0;
    std::vector<float> out(static_cast<size_t>(mono.size() / ratio));
    for (size_t i = 0; i < out.size(); ++i) {
        double x = i * ratio;
        size_t k = static_cast<size_t>(x);
        double t = x - k;
        out[i] = static_cast<float>(mono[k] * (1 - t) + (k + 1 < mono.size() ? mono[k + 1] : 0) * t);
    }
    return out;
}

std::vector<Label> readLabels(const std::string& path)
{
    std::vector<Label> labels;
    std::ifstream in(path);
    Label l{};
    while (in >> l.onset >> l.offset >> l.pitch)
        labels.push_back(l);
    return labels;
}

// The most common onset distance is taken as one beat.
double estimateTempo(const std::vector<Label>& labels)
{
    std::vector<double> gaps;
    for (size_t i = 1; i < labels.size(); ++i)
        gaps.push_back(labels[i].onset - labels[i - 1].onset);
    std::sort(gaps.begin(), gaps.end());
    double beat = gaps.empty() ? 0.5 : gaps[gaps.size() / 2];
    double tempo = 60.0 / beat;
    while (tempo > 160)
        tempo /= 2;
    while (tempo < 60)
        tempo *= 2;
    return tempo;
}

double labelTuning(const std::vector<Label>& labels)
{
    double sum = 0, weight = 0;
    for (const Label& l : labels) {
        double dev = l.pitch - std::trunc(l.pitch);
        if (dev > 0.5)
            dev -= 1;
        sum += dev * (l.offset - l.onset);
        weight += l.offset - l.onset;
    }
    return weight > 0 ? sum / weight : 0;
}

struct Score {
    int labels = 0, outputs = 0, pitchHits = 0, matched = 0, edits = 0, sequence = 0;
};

// Edit distance between the sung and the recognised note sequences: counts
// wrong, missing and extra notes whatever the timing drift of the singer.
int sequenceEdits(const std::vector<int>& want, const std::vector<int>& got)
{
    std::vector<int> row(got.size() + 1);
    for (size_t j = 0; j <= got.size(); ++j)
        row[j] = static_cast<int>(j);
    for (size_t i = 1; i <= want.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (size_t j = 1; j <= got.size(); ++j) {
            int up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (want[i - 1] == got[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[got.size()];
}

Score compare(const std::vector<Label>& labels, const std::vector<Note>& notes)
{
    double tuning = labelTuning(labels);
    Score best;
    for (double shift = -0.4; shift <= 0.4; shift += 0.01) {
        Score s;
        s.labels = static_cast<int>(labels.size());
        s.outputs = static_cast<int>(notes.size());
        std::vector<bool> used(notes.size(), false);
        for (const Label& l : labels) {
            int want = static_cast<int>(std::lround(l.pitch - tuning));
            double mid = (l.onset + l.offset) / 2;
            for (size_t i = 0; i < notes.size(); ++i) {
                double on = notes[i].onset + shift, off = notes[i].offset + shift;
                if (on <= mid && mid < off && notes[i].pitch == want)
                    ++s.pitchHits;
                if (!used[i] && notes[i].pitch == want && std::fabs(on - l.onset) < 0.15) {
                    used[i] = true;
                    ++s.matched;
                    break;
                }
            }
        }
        if (s.matched + s.pitchHits > best.matched + best.pitchHits)
            best = s;
    }
    std::vector<int> want, got;
    for (const Label& l : labels)
        want.push_back(static_cast<int>(std::lround(l.pitch - tuning)));
    // Repeated notes merge when nothing sounds between them, so compare
    // sequences with repeats folded on both sides.
    want.erase(std::unique(want.begin(), want.end()), want.end());
    for (const Note& n : notes)
        got.push_back(n.pitch);
    got.erase(std::unique(got.begin(), got.end()), got.end());
    best.edits = sequenceEdits(want, got);
    best.sequence = static_cast<int>(want.size());
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [FFT] [frames-per-beat]\n", argv[0]);
        return 2;
    }
    int FFT = argc > 2 ? std::atoi(argv[2]) : 4096;
    uint32_t FPB = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 40;
    // SINGING_NO_KEY: leave the key finder out, so nothing is snapped.
    void* tonalyze = std::getenv("SINGING_NO_KEY") ? nullptr : MDP_LoadLibrary("Tonalyze.dll", nullptr, 0);
    auto key = tonalyze ? reinterpret_cast<pitchlore::KeyAnalysisFn>(MDP_GetSymbol(tonalyze, "MA_KeyAnalysis"))
                        : nullptr;
    std::vector<std::filesystem::path> takes;
    for (const auto& e : std::filesystem::directory_iterator(argv[1]))
        if (e.path().extension() == ".flac")
            takes.push_back(e.path());
    std::sort(takes.begin(), takes.end());
    Score total;
    int estimatorRight = 0;
    int octaveOff = 0, nearMiss = 0;
    for (const auto& take : takes) {
        auto labels = readLabels(take.parent_path() / (take.stem().string() + ".txt"));
        auto samples = decode(take.string());
        if (labels.empty() || samples.empty())
            continue;
        int tempo = static_cast<int>(std::lround(estimateTempo(labels)));
        double hop = 44100.0 * 60 / tempo / FPB;
        pitchlore::Analyser a(key);
        a.reset(tempo, 0, FFT, FPB);
        auto spectra = testsignal::frames(samples, FFT, hop);
        for (uint32_t i = 0; i < spectra.size(); ++i)
            a.frame(i, spectra[i].data());
        // The estimator alone: median frame pitch over the middle half of each
        // labelled note, within half a semitone of the label.
        int framesRight = 0;
        for (const Label& l : labels) {
            double len = l.offset - l.onset;
            auto at = [&](double t) { return static_cast<long>((t * 44100 - FFT / 2.0) / hop); };
            std::vector<double> p;
            for (long i = std::max(0L, at(l.onset + len / 4)); i < at(l.offset - len / 4); ++i)
                if (static_cast<uint32_t>(i) < a.tracks().count() && a.tracks().pitch()[i] >= 0)
                    p.push_back(a.tracks().pitch()[i]);
            if (p.empty())
                continue;
            std::nth_element(p.begin(), p.begin() + static_cast<long>(p.size() / 2), p.end());
            double diff = p[p.size() / 2] - l.pitch;
            framesRight += std::fabs(diff) < 0.5;
            octaveOff += std::fabs(std::fabs(diff) - 12) < 0.5 || std::fabs(std::fabs(diff) - 19) < 0.5;
            nearMiss += std::fabs(diff) >= 0.5 && std::fabs(diff) < 1.5;
        }
        estimatorRight += framesRight;
        auto r = a.analyseMelody(-1);
        std::vector<Note> notes;
        if (r) {
            // Frame positions back to seconds; a frame stands for its window's
            // centre, half a transform after its start.
            double frames = r->leadInBars * 4.0 * FPB;
            const auto& o = a.outputs();
            for (size_t i = 0; i < o.noteNumbers().size(); ++i) {
                double on = (frames * hop + FFT / 2.0) / 44100;
                frames += o.lengths()[i];
                double off = (frames * hop + FFT / 2.0) / 44100;
                if (o.noteNumbers()[i] != 128)
                    notes.push_back(Note{on, off, o.noteNumbers()[i]});
            }
        }
        Score s = compare(labels, notes);
        std::printf("%-16s tempo %3d  notes %3d/%3d  sequence %5.1f%%  pitch-at-middle %5.1f%%  onset+pitch F %5.1f%%\n",
                    take.stem().c_str(), tempo, s.outputs, s.labels, 100.0 * (1 - double(s.edits) / s.sequence),
                    100.0 * s.pitchHits / s.labels, 200.0 * s.matched / (s.labels + s.outputs));
        if (std::getenv("SINGING_VERBOSE")) {
            for (size_t i = 0; i < std::min<size_t>(labels.size(), 12); ++i)
                std::printf(" %5.1f", labels[i].pitch);
            std::printf("\n");
            for (size_t i = 0; i < std::min<size_t>(notes.size(), 12); ++i)
                std::printf(" %5d", notes[i].pitch);
            std::printf("\n");
        }
        total.edits += s.edits;
        total.sequence += s.sequence;
        total.labels += s.labels;
        total.outputs += s.outputs;
        total.pitchHits += s.pitchHits;
        total.matched += s.matched;
    }
    std::printf("frame pitch within half a semitone of the label (median over each note's middle): %.1f%%\n",
                100.0 * estimatorRight / std::max(1, total.labels));
    std::printf("  off by an octave or a twelfth: %.1f%%, off by 0.5 to 1.5 semitones: %.1f%%\n",
                100.0 * octaveOff / std::max(1, total.labels), 100.0 * nearMiss / std::max(1, total.labels));
    std::printf("ALL  takes %zu  notes %d/%d  sequence %.1f%%  pitch-at-middle %.1f%%  onset+pitch F %.1f%%\n",
                takes.size(), total.outputs, total.labels, 100.0 * (1 - double(total.edits) / std::max(1, total.sequence)),
                100.0 * total.pitchHits / std::max(1, total.labels),
                200.0 * total.matched / std::max(1, total.labels + total.outputs));
    MDP_FreeLibrary(tonalyze);
    return 0;
}
