#include "Renderer.h"

#include "Arrangix.h"
#include "HeldNotePass.h"
#include "Log.h"
#include "MidiWriter.h"
#include "PartDeriver.h"
#include "Voicing.h"

#include <algorithm>

namespace melodrift::arrangix {

namespace {

constexpr uint8_t kDrumChannel = 9;

// Tolerance of the held-note pass: half a quarter note.
int32_t heldTolerance(const DecodedStyle& s) { return s.division / 2; }

}  // namespace

int32_t Renderer::render(const Plan& plan, uint8_t* buffer, int32_t* size)
{
    int32_t capacity = *size;
    int32_t r = renderBlocks(plan);
    if (r != 0) {
        *size = 0;
        tracks_.clear();
        return r;
    }
    int32_t written = 0;
    r = writeMidiFile(*style_, composerTempo_, tracks_, buffer, capacity, written);
    *size = written;
    tracks_.clear();
    return r;
}

int32_t Renderer::renderBlocks(const Plan& plan)
{
    tracks_.clear();
    int64_t t0 = 0;
    for (const Block& block : plan) {
        if (t0 + std::max(block.duration, 0) > INT32_MAX / 2)
            return SM_E_RECORD;
        int32_t r = renderBlock(block, static_cast<int32_t>(t0));
        if (r != 0)
            return r;
        t0 += std::max(block.duration, 0);
    }
    return 0;
}

int32_t Renderer::renderBlock(const Block& block, int32_t t0)
{
    std::shared_ptr<DecodedStyle> style = style_;
    if (block.styleId != style_->id)
        style = source_.style(block.styleId, true);
    StyleSegment* seg = style ? style->find(block.kind, block.id) : nullptr;
    if (seg == nullptr)
        return SM_E_SEGMENT;
    const int32_t bar = style->barLength();
    const int32_t l = (seg->length + bar - 1) / bar * bar;
    if (l <= 0 || block.duration <= 0)
        return 0;
    if ((block.kind == kMain || block.kind == kFill)) {
        if (seg->unpitched)
            renderUnpitched(*seg, t0, block.duration, l);
        renderChords(block, *seg, t0, l);
        return 0;
    }
    int root = block.keyRoot <= 11 ? block.keyRoot : 0;
    for (const PatternTrack& track : seg->groups[block.minor == 1 ? 1 : 0])
        placeTrack(track, t0, 0, block.duration, root, std::nullopt);
    return 0;
}

// Each placement covers at most L ticks; the remainder shrinks by what was
// placed so the part never sounds past its block.
void Renderer::renderUnpitched(const StyleSegment& seg, int32_t t0, int32_t duration, int32_t l)
{
    int32_t remaining = duration;
    int32_t at = t0;
    while (remaining > 0) {
        int32_t span = std::min(l, remaining);
        placeTrack(*seg.unpitched, at, 0, span, std::nullopt, std::nullopt);
        at += span;
        remaining -= span;
    }
}

void Renderer::renderChords(const Block& block, StyleSegment& seg, int32_t t0, int32_t l)
{
    std::vector<uint8_t> marked;
    int32_t p = 0;
    int32_t at = t0;
    for (const ChordItem& item : block.chords) {
        auto& group = seg.groups[item.type];
        if (group.empty())
            derivePartGroup(seg, block.kind, item.type);
        int32_t m = item.duration;
        while (m > 0) {
            int32_t e = std::min(l, p + m);
            for (const PatternTrack& track : group)
                if (placeTrack(track, at, p, e, item.root, item.type) == 3 &&
                    std::find(marked.begin(), marked.end(), track.channel) == marked.end())
                    marked.push_back(track.channel);
            at += e - p;
            m -= e - p;
            p = e == l ? 0 : e;
        }
    }
    for (uint8_t channel : marked) {
        auto& major = seg.groups[0];
        auto src = std::find_if(major.begin(), major.end(), [&](const PatternTrack& t) { return t.channel == channel; });
        OutputTrack* out = findOutput(channel);
        if (src != major.end() && out != nullptr)
            holdNotesAcrossChords(*out, *src, t0, block.duration, heldTolerance(*style_), block.chords);
    }
}

OutputTrack* Renderer::findOutput(uint8_t channel)
{
    for (OutputTrack& t : tracks_)
        if (t.channel == channel)
            return &t;
    return nullptr;
}

OutputTrack& Renderer::outputFor(const PatternTrack& track, int32_t t)
{
    if (OutputTrack* found = findOutput(track.channel))
        return *found;
    OutputTrack created;
    created.channel = track.channel;
    created.program = track.program;
    created.length = t;
    tracks_.push_back(std::move(created));
    return tracks_.back();
}

int Renderer::placeTrack(const PatternTrack& track, int32_t t, int32_t p0, int32_t p1, std::optional<int> root,
                         std::optional<int> type)
{
    auto byStart = [](const TimeSlice& s, int32_t v) { return s.start < v; };
    auto first = std::lower_bound(track.slices.begin(), track.slices.end(), p0, byStart);
    auto lastEnd = std::upper_bound(track.slices.begin(), track.slices.end(), p1,
                                    [](int32_t v, const TimeSlice& s) { return v < s.start; });
    if (track.channel > 15 || first == track.slices.end() || first >= lastEnd)
        return 0;
    const bool pitched = root.has_value() && track.channel != kDrumChannel;
    size_t lastNote = 0;
    if (pitched) {
        size_t firstOn = track.firstNoteOnAtOrAfter(p0);
        size_t afterLast = track.firstNoteOnAtOrAfter(p1 + 1);
        if (firstOn >= track.noteOns.size())
            log("find start note return err\n");
        if (afterLast == 0) {
            log("find end note return err\n");
            return 0;
        }
        lastNote = afterLast - 1;
    }
    OutputTrack& out = outputFor(track, t);
    const bool whole = p0 <= 0 && p1 >= track.length;
    bool leftOut = false;
    for (auto s = first; s != lastEnd; ++s) {
        const int32_t tick = t + (s->start - p0);
        for (uint32_t c : s->controls)
            out.addControl(tick, track.controls[c]);
        for (uint32_t n : s->notes) {
            const PatternNote& note = track.notes[n];
            const bool isOff = note.velocity == 0;
            bool skip = (s == first && isOff) || (s + 1 == lastEnd && !isOff);
            if (!skip && pitched && !whole) {
                if (!isOff) {
                    skip = note.end < 0 || note.end > p1;
                } else {
                    const PatternNote* on = nullptr;
                    for (size_t i = lastNote + 1; i-- > 0;) {
                        const PatternNote& cand = track.notes[track.noteOns[i]];
                        if (cand.pitch == note.pitch && cand.end == s->start) {
                            on = &cand;
                            break;
                        }
                    }
                    if (on == nullptr)
                        log("cannot find off note\n");
                    else
                        skip = on->start < p0;
                }
            }
            if (skip) {
                leftOut = true;
                continue;
            }
            int pitch = note.pitch;
            if (root)
                pitch = track.channel == kDrumChannel ? pitch : fitPitch(pitch, *root, type, track.program);
            out.addNote(tick, {static_cast<uint8_t>(pitch), note.velocity});
        }
    }
    out.length = std::max(out.length, t + p1 - p0);
    return (type.has_value() && track.channel != kDrumChannel && leftOut) ? 3 : 0;
}

} // namespace melodrift::arrangix
