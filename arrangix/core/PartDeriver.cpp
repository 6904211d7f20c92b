#include "PartDeriver.h"

#include "Arrangix.h"
#include "Log.h"
#include "Voicing.h"

namespace melodrift::arrangix {

namespace {

PatternTrack convertTrack(const PatternTrack& src, int from, int to)
{
    PatternTrack t;
    t.channel = src.channel;
    t.program = src.program;
    t.length = src.length;
    for (const TimeSlice& s : src.slices) {
        TimeSlice out;
        out.start = s.start;
        for (uint32_t c : s.controls) {
            const ControlRecord& r = src.controls[c];
            if (auto rec = t.createControl(r.status, r.data1, r.data2))
                out.controls.push_back(*rec);
        }
        for (uint32_t n : s.notes) {
            const PatternNote& note = src.notes[n];
            // Drum keys name instruments, not pitches.
            int pitch = src.channel == 9 ? note.pitch : convertType(note.pitch, from, to);
            if (auto rec = t.createNote(pitch, note.velocity, s.start))
                out.notes.push_back(*rec);
            else
                log("wrong note\n");
        }
        if (!out.empty())
            t.slices.push_back(std::move(out));
    }
    return t;
}

}  // namespace

int32_t derivePartGroup(StyleSegment& segment, int kind, int target)
{
    if (target <= 0 || target > 3 || (kind != kMain && kind != kFill))
        return SM_E_DERIVE;
    int from = (target == kMinor7 && !segment.groups[1].empty()) ? 1 : 0;
    if (!segment.groups[target].empty() || segment.groups[from].empty())
        return SM_E_SEGMENT;
    std::vector<PatternTrack> derived;
    for (const PatternTrack& src : segment.groups[from])
        derived.push_back(convertTrack(src, from, target));
    segment.groups[target] = std::move(derived);
    return 0;
}

} // namespace melodrift::arrangix
