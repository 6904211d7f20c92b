#include "NoteTracker.h"

#include "SpectralShape.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace pitchlore {

namespace {

// A new note needs to stay this far (semitones) from the current one: wider
// than a singer's vibrato around a held note, narrower than a semitone step
// sung a little flat.
constexpr double kStep = 0.7;
// A level dip of this much (natural log, about 6 dB) on both sides, with
// the voice still sounding, is a new attack on the same or another pitch.
// Singers swell a held note with the beat by up to about 5 dB.
constexpr double kDip = 0.7;
// A breath shorter than this (beats) between two notes is articulation.
constexpr double kShortGap = 0.3;
// The widest a settled pitch wanders over the frames it must hold (a wide
// vibrato included).
constexpr double kSettled = 1.2;
// A short piece sliding over more than this (semitones) is a scoop.
constexpr double kSlide = 0.8;
// The most a sung pitch moves between neighbouring frames (semitones).
constexpr double kSmooth = 1.0;
// How near to an octave a frame's distance from its neighbourhood must be to
// count as an octave slip.
constexpr double kOctaveSlack = 1.5;
// A note further than this from the melody's centre (semitones) is out of
// its range: an octave slip or noise.
constexpr double kOctaveFar = 11;
// A rise of hiss this many times its typical change around it, with the
// pitch held, is the consonant of a new syllable: a repeated note sung legato.
constexpr double kHiss = 4.0;
// The most the pitch may move across such a consonant (semitones).
constexpr double kRepeatHold = 0.7;
// A level dip shallower than this (natural log, about 9 dB) is an attack only
// where the voice breaks: it is less harmonic than around it by more than
// kVoiceBreak. A singer swelling a held note keeps its harmonics, or loses a
// few hundredths as the voice thins; a new attack loses a tenth or more.
constexpr double kDeepDip = 1.0;
constexpr double kVoiceBreak = 0.1;
// A stretch of frames with no pitch found, no longer than half a beat, is the
// note held on when the voice keeps its level into and out of it (within
// this much of the loudest of the frames just before and after; a rest
// between notes fades and attacks) and, where spectra were measured, the
// stretch is as loud as the frames around it.
constexpr double kHeldLevel = 0.5;
constexpr double kHeldLoudness = 0.3;
constexpr uint32_t kHeldReach = 5;  // frames
// The faint start and end of a voiced stretch (breath, the window reaching
// into the note) below this level under its loudest frame (20 dB) are rest.
constexpr double kFaint = 2.3;

double median(std::vector<double> values)
{
    if (values.empty())
        return -1.0;
    auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

// The median harmonicity of frames [from, to) outside [lo, hi], the frames
// in question; -1 when there are none.
double harmonicityAround(const FrameShape* shapes, uint32_t from, uint32_t to, uint32_t lo, uint32_t hi)
{
    std::vector<double> around;
    for (uint32_t k = from; k < to; ++k)
        if (k < lo || k > hi)
            around.push_back(shapes[k].harmonicity);
    return median(std::move(around));
}

}  // namespace

NoteTracker::NoteTracker(const AnalyserConfig& config)
    : m_config(config)
{
}

double NoteTracker::stablePitch(const double* pitch, const double* level, uint32_t start, uint32_t end)
{
    // The middle of the note: a scoop into it and the fall at its release
    // are left out.
    uint32_t length = end - start;
    uint32_t from = start + (length >= 4 ? length * 3 / 10 : 0);
    uint32_t to = std::max(end - (length >= 4 ? length * 15 / 100 : 0), from + 1);
    // Within it, the median weighted by the square root of each frame's
    // amplitude: where the voice thins (a breath, a wobble as it tires) its
    // pitch wanders, and the full voice says what was sung.
    std::vector<std::pair<double, double>> frames;
    double total = 0;
    for (uint32_t i = from; i < to; ++i) {
        frames.emplace_back(pitch[i], std::exp(0.5 * level[i]));
        total += frames.back().second;
    }
    std::sort(frames.begin(), frames.end());
    double below = 0;
    for (const auto& [p, weight] : frames) {
        below += weight;
        if (below >= total / 2)
            return p;
    }
    return frames.back().first;
}

void NoteTracker::bridgeLostFrames(std::vector<double>& pitch, std::vector<double>& level, std::vector<bool>& voiced,
                                   const FrameShape* shapes) const
{
    const uint32_t count = static_cast<uint32_t>(voiced.size());
    const uint32_t longest = std::max<uint32_t>(1, m_config.FPB / 2);
    for (uint32_t i = 1; i + 1 < count; ++i) {
        if (voiced[i] || !voiced[i - 1])
            continue;
        uint32_t j = i;
        while (j < count && !voiced[j] && j - i <= longest)
            ++j;
        if (j == count || !voiced[j] || j - i > longest || std::fabs(pitch[j] - pitch[i - 1]) >= kSmooth) {
            i = j;
            continue;
        }
        const double before = *std::max_element(level.begin() + (i > kHeldReach ? i - kHeldReach : 0),
                                                 level.begin() + i) - level[i - 1];
        const double after = *std::max_element(level.begin() + j, level.begin() + std::min(count, j + kHeldReach)) -
                             level[j];
        bool held = before < kHeldLevel && after < kHeldLevel;
        if (held && shapes != nullptr) {
            double lost = voiceLoudness(shapes[i]);
            for (uint32_t k = i + 1; k < j; ++k)
                lost = std::min(lost, voiceLoudness(shapes[k]));
            held = std::min(voiceLoudness(shapes[i - 1]), voiceLoudness(shapes[j])) - lost < kHeldLoudness;
        }
        if (held) {
            for (uint32_t k = i; k < j; ++k) {
                voiced[k] = true;
                pitch[k] = pitch[i - 1] + (pitch[j] - pitch[i - 1]) * (k - i + 1) / (j - i + 1);
                level[k] = std::min(level[i - 1], level[j]);
            }
        }
        i = j;
    }
}

void NoteTracker::addConsonantCuts(const double* rise, const FrameShape* shapes, const std::vector<double>& smooth,
                                   uint32_t start, uint32_t end, uint32_t minFrames, std::vector<uint32_t>& cuts) const
{
    // The pitch is compared, and the voice's harmonicity looked at, over
    // three quarters of a beat on either side.
    const uint32_t side = std::max<uint32_t>(3, (3 * m_config.FPB + 2) / 4);
    auto heldPitch = [&](uint32_t from, uint32_t to) {
        return median(std::vector<double>(smooth.begin() + (from - start), smooth.begin() + (to - start)));
    };
    std::vector<uint32_t> added;
    size_t next = 0;
    for (uint32_t j = start + minFrames; j + minFrames <= end; ++j) {
        if (rise[j] < kHiss)
            continue;
        bool peak = true;
        for (uint32_t k = std::max(start, j >= 2 ? j - 2 : 0); k < std::min(end, j + 3) && peak; ++k)
            peak = k == j || rise[k] <= rise[j];
        if (!peak)
            continue;
        // The pitch holds across it: a repeated note (a new pitch is cut by
        // its step).
        const uint32_t from = j > start + side ? j - side : start;
        const uint32_t to = std::min(end, j + side);
        if (std::fabs(heldPitch(j, to) - heldPitch(from, j)) > kRepeatHold)
            continue;
        // A consonant is noise: the voice is no more harmonic there than
        // around it (a harmonic swept across a band by the vibrato is).
        const uint32_t lo = j >= start + 2 ? j - 2 : start;
        const uint32_t hi = std::min(end - 1, j + 1);
        double least = 1.0;
        for (uint32_t k = lo; k <= hi; ++k)
            least = std::min(least, static_cast<double>(shapes[k].harmonicity));
        const double typical = harmonicityAround(shapes, from, to, lo, hi);
        if (typical < 0 || least > typical)
            continue;
        // The hiss peaks on the frame after the syllable's start.
        const uint32_t at = j - 1;
        while (next < cuts.size() && cuts[next] < at)
            ++next;
        uint32_t before = next > 0 ? cuts[next - 1] : start;
        if (!added.empty())
            before = std::max(before, added.back());
        const uint32_t after = next < cuts.size() ? cuts[next] : end;
        if (at - before >= minFrames && after - at >= minFrames)
            added.push_back(at);
    }
    cuts.insert(cuts.end(), added.begin(), added.end());
    std::sort(cuts.begin(), cuts.end());
}

void NoteTracker::cutRun(const double* pitch, const double* level, const double* rise, const FrameShape* shapes,
                         uint32_t start, uint32_t end, std::vector<Piece>& notes) const
{
    // Lengths in beats, whatever the frame rate: the shortest note lasts 3/8
    // of a beat, a new pitch holds and a level dip is looked for over half a
    // beat (never fewer than 3 and 4 frames).
    const uint32_t minFrames = std::max<uint32_t>(3, (3 * m_config.FPB + 7) / 8);
    const uint32_t hold = std::max<uint32_t>(4, m_config.FPB / 2);
    const uint32_t reach = hold;
    if (end - start < minFrames)
        return;  // a blip of breath or noise on its own
    // Median of three against single-frame estimator slips.
    std::vector<double> smooth(end - start);
    for (uint32_t i = start; i < end; ++i) {
        double a = pitch[i > start ? i - 1 : i], b = pitch[i], c = pitch[i + 1 < end ? i + 1 : i];
        smooth[i - start] = std::max(std::min(a, b), std::min(std::max(a, b), c));
    }
    auto s = [&](uint32_t i) { return smooth[i - start]; };

    // Whether the voice is less harmonic at frame j than within reach of it.
    auto voiceBreaks = [&](uint32_t j) {
        if (shapes == nullptr)
            return true;
        const double typical = harmonicityAround(shapes, j > start + reach ? j - reach : start,
                                                 std::min(end, j + reach + 1), j >= start + 2 ? j - 2 : start, j + 1);
        return typical < 0 || typical - shapes[j].harmonicity > kVoiceBreak;
    };
    std::vector<uint32_t> cuts{start};
    // Level dips: the lowest frame of a dip starts the new attack.
    for (uint32_t j = start + minFrames; j + minFrames <= end; ++j) {
        if (level[j] > level[j - 1] || level[j] > level[j + 1])
            continue;
        double before = *std::max_element(level + std::max(start, j >= reach ? j - reach : 0), level + j);
        double after = *std::max_element(level + j + 1, level + std::min(end, j + reach + 1));
        const double depth = std::min(before, after) - level[j];
        if (depth > kDip && j - cuts.back() >= minFrames && (depth > kDeepDip || voiceBreaks(j)))
            cuts.push_back(j);
    }
    if (rise != nullptr && shapes != nullptr)
        addConsonantCuts(rise, shapes, smooth, start, end, minFrames, cuts);
    cuts.push_back(end);

    // Within each attack, pitch steps that hold for a few frames, measured
    // against the note so far (its last beat and a half at most, so that a
    // long note may sag slowly without being cut).
    const size_t anchorFrames = std::max<size_t>(6, m_config.FPB);
    std::vector<Piece> pieces;
    for (size_t k = 0; k + 1 < cuts.size(); ++k) {
        uint32_t b = cuts[k];
        const uint32_t e = cuts[k + 1];
        for (uint32_t i = b + 1; i < e; ++i) {
            uint32_t from = static_cast<uint32_t>(std::max<size_t>(b, i > anchorFrames ? i - anchorFrames : 0));
            double current = median(std::vector<double>(smooth.begin() + (from - start), smooth.begin() + (i - start)));
            // The new pitch must have settled (a slide still moving is not
            // yet a note); the slide that led to it then starts the note.
            uint32_t holding = std::min<uint32_t>(hold, e - i);
            bool moved = holding >= 2;
            int side = s(i) > current ? 1 : -1;
            double low = s(i), high = s(i);
            for (uint32_t h = 0; h < holding && moved; ++h) {
                moved = (s(i + h) - current) * side > kStep;
                low = std::min(low, s(i + h));
                high = std::max(high, s(i + h));
            }
            if (moved && high - low < kSettled) {
                uint32_t cut = i;
                while (cut - 1 > b && (s(cut - 1) - current) * side > kStep / 2 && (s(cut) - s(cut - 1)) * side >= 0)
                    --cut;
                pieces.push_back(Piece{b, cut, -1.0});
                b = cut;
                i = cut + holding - 1;
            }
        }
        pieces.push_back(Piece{b, e, -1.0, b == cuts[k] && cuts.size() > 2});
    }

    // Pieces too short to be notes (the frames of a scoop or a slide) join the
    // neighbour nearest in pitch, the following note when it is close.
    for (Piece& p : pieces)
        p.pitch = stablePitch(pitch, level, p.start, p.end);
    // A short piece whose pitch slides over more than a semitone is a scoop
    // into the next note.
    auto slides = [&](const Piece& p) {
        if (p.wholeAttack || p.end - p.start >= std::max<uint32_t>(minFrames, m_config.FPB / 2))
            return false;
        auto [low, high] = std::minmax_element(smooth.begin() + (p.start - start), smooth.begin() + (p.end - start));
        return *high - *low > kSlide;
    };
    for (size_t k = 0; k < pieces.size();) {
        bool scoop = k + 1 < pieces.size() && slides(pieces[k]);
        if (pieces.size() == 1 || (pieces[k].end - pieces[k].start >= minFrames && !scoop)) {
            ++k;
            continue;
        }
        bool hasNext = k + 1 < pieces.size();
        bool hasPrev = k > 0;
        bool intoNext = hasNext && (scoop || !hasPrev || std::fabs(pieces[k + 1].pitch - pieces[k].pitch) <=
                                                    std::fabs(pieces[k - 1].pitch - pieces[k].pitch) + 1.0);
        if (intoNext) {
            pieces[k + 1].start = pieces[k].start;
            pieces[k + 1].pitch = stablePitch(pitch, level, pieces[k + 1].start, pieces[k + 1].end);
            pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            pieces[k - 1].end = pieces[k].end;
            pieces[k - 1].pitch = stablePitch(pitch, level, pieces[k - 1].start, pieces[k - 1].end);
            pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(k));
            --k;
        }
    }
    notes.insert(notes.end(), pieces.begin(), pieces.end());
}

NoteRecords NoteTracker::track(const FrameTracks& tracks) const
{
    const uint64_t whole = static_cast<uint64_t>(tracks.completedBeats()) * m_config.FPB;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(whole, tracks.count()));
    const double gate = tracks.loudest() / 128;
    std::vector<double> pitch(tracks.pitch(), tracks.pitch() + count);
    std::vector<double> level(count);
    std::vector<bool> voiced(count);
    for (uint32_t i = 0; i < count; ++i) {
        voiced[i] = pitch[i] >= 0 && tracks.amplitude()[i] > gate;
        level[i] = std::log(std::max(tracks.amplitude()[i], gate * 1e-3) + 1e-30);
    }

    // A voice's pitch moves smoothly from frame to frame (vibrato and scoops
    // included); a frame far from both neighbours is breath or noise, not a
    // note (an octave slip still counts as near).
    auto near = [&](uint32_t a, uint32_t b) {
        if (!voiced[a] || !voiced[b])
            return false;
        double d = std::fabs(pitch[a] - pitch[b]);
        return d < kSmooth || std::fabs(d - 12) < kSmooth;
    };
    std::vector<bool> steady(count);
    for (uint32_t i = 0; i < count; ++i)
        steady[i] = voiced[i] && ((i > 0 && near(i - 1, i)) || (i + 1 < count && near(i, i + 1)));
    voiced = steady;
    bridgeLostFrames(pitch, level, voiced, tracks.shapes());
    // Spectral shapes exist only for frames analysed in this process.
    // The hiss is weighed against its typical change within a second.
    const uint32_t typicalReach = static_cast<uint32_t>(std::lround(m_config.FPB * m_config.tempo / 60.0));
    const std::vector<double> rise = consonantRise(tracks.shapes(), count, voiced, typicalReach);

    std::vector<Piece> notes;
    for (uint32_t i = 0; i < count;) {
        if (!voiced[i]) {
            ++i;
            continue;
        }
        uint32_t end = i;
        while (end < count && voiced[end])
            ++end;
        uint32_t first = i;
        uint32_t last = end;
        if (end - i >= 2) {
            double loudest = *std::max_element(level.begin() + i, level.begin() + end);
            while (first + 1 < last && level[first] < loudest - kFaint)
                ++first;
            while (last - 1 > first && level[last - 1] < loudest - kFaint)
                --last;
        }
        if (last - first >= 2) {
            // A frame an octave off the frames around it is an estimator's
            // octave slip.
            const uint32_t around = std::max<uint32_t>(4, m_config.FPB / 2);
            std::vector<double> original(pitch.begin() + first, pitch.begin() + last);
            for (uint32_t k = first; k < last; ++k) {
                uint32_t from = k - first > around ? k - around : first;
                uint32_t to = std::min(last, k + around + 1);
                double local = median(std::vector<double>(original.begin() + (from - first), original.begin() + (to - first)));
                if (std::fabs(pitch[k] - local - 12) < kOctaveSlack)
                    pitch[k] -= 12;
                else if (std::fabs(pitch[k] - local + 12) < kOctaveSlack)
                    pitch[k] += 12;
            }
            cutRun(pitch.data(), level.data(), rise.empty() ? nullptr : rise.data(), tracks.shapes(), first, last,
                   notes);
        }
        i = end;
    }

    // An octave decided over whole notes: a note about an octave from the
    // melody's centre is an estimator's octave slip. A note further out that
    // no octave explains is no part of the melody (mains hum, rumble under a
    // rest) and is left as rest rather than folded into the range.
    std::vector<double> pitches;
    for (const Piece& p : notes)
        pitches.push_back(p.pitch);
    const double centre = median(pitches);
    std::erase_if(notes, [&](const Piece& p) {
        double away = std::fabs(p.pitch - centre);
        return away > kOctaveFar && std::fabs(away - 12) > kOctaveSlack;
    });
    for (Piece& p : notes) {
        if (p.pitch - centre > kOctaveFar)
            p.pitch -= 12;
        else if (centre - p.pitch > kOctaveFar)
            p.pitch += 12;
    }

    // A breath shorter than this between two notes is articulation, not a
    // rest: it belongs to the note before it.
    const uint32_t shortGap = static_cast<uint32_t>(kShortGap * m_config.FPB);
    NoteRecords records;
    uint32_t position = 0;
    for (const Piece& p : notes) {
        if (!records.empty() && !records.back().isRest() && p.start > position && p.start - position < shortGap) {
            records.back().frames += static_cast<int32_t>(p.start - position);
            position = p.start;
        }
        if (p.start > position)
            records.push_back(NoteRecord{-1.0f, static_cast<int32_t>(p.start - position)});
        records.push_back(NoteRecord{static_cast<float>(p.pitch), static_cast<int32_t>(p.end - p.start)});
        position = p.end;
    }
    if (count > position)
        records.push_back(NoteRecord{-1.0f, static_cast<int32_t>(count - position)});
    return records;
}

}  // namespace pitchlore
