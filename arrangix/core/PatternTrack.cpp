#include "PatternTrack.h"

#include "Log.h"

#include <algorithm>

namespace melodrift::arrangix {

namespace {

bool isDroppedController(int c)
{
    return c == 3 || c == 9 || (c >= 12 && c <= 15) || (c >= 20 && c <= 31) || c == 35 || c == 41 ||
           (c >= 46 && c <= 63) || (c >= 85 && c <= 90) || (c >= 102 && c <= 119);
}

}  // namespace

std::optional<uint32_t> PatternTrack::createNote(int pitch, int velocity, int32_t tick)
{
    if (pitch < 0 || pitch > 127 || velocity < 0 || velocity > 127) {
        log("Wrong pitch or volume.\n");
        return std::nullopt;
    }
    if (program >= 24 && program <= 31 && (pitch <= 39 || pitch >= 91)) {
        log("Delete guitar noise.\n");
        return std::nullopt;
    }
    return velocity > 0 ? noteOn(pitch, velocity, tick) : noteOff(pitch, tick);
}

std::optional<uint32_t> PatternTrack::noteOn(int pitch, int velocity, int32_t tick)
{
    auto& open = open_[pitch];
    for (uint32_t i : open)
        if (notes[i].velocity == velocity)
            return std::nullopt;
    auto index = static_cast<uint32_t>(notes.size());
    notes.push_back({static_cast<uint8_t>(pitch), static_cast<uint8_t>(velocity), tick, -1});
    noteOns.push_back(index);
    open.push_back(index);
    return index;
}

// Walking the note index backwards from the newest record closes every open
// note of the pitch newer than its shared note-off record, or else the newest
// older one; without a shared record yet, every open note of the pitch.
std::optional<uint32_t> PatternTrack::noteOff(int pitch, int32_t tick)
{
    auto& open = open_[pitch];
    int32_t off = offRecord_[pitch];
    size_t keep = open.size();
    if (off < 0) {
        keep = 0;
    } else {
        auto firstNewer = std::upper_bound(open.begin(), open.end(), static_cast<uint32_t>(off));
        keep = static_cast<size_t>(firstNewer - open.begin());
        if (keep == open.size() && keep > 0)
            keep -= 1;
    }
    if (keep == open.size())
        return std::nullopt;  // stray note-off
    for (size_t i = keep; i < open.size(); ++i)
        notes[open[i]].end = tick;
    open.resize(keep);
    if (off < 0) {
        off = static_cast<int32_t>(notes.size());
        notes.push_back({static_cast<uint8_t>(pitch), 0, -1, -1});
        offRecord_[pitch] = off;
    }
    return static_cast<uint32_t>(off);
}

std::optional<uint32_t> PatternTrack::createControl(uint8_t status, uint8_t data1, uint8_t data2)
{
    status &= 0xF0;
    if (status == 0xB0 && isDroppedController(data1))
        return std::nullopt;
    if (status == 0xC0 && channel == 9 && (data1 == 25 || data1 == 48 || data1 == 56)) {
        data1 = 0;
        program = 0;
    }
    ControlRecord record{status, data1, data2};
    auto it = std::find(controls.begin(), controls.end(), record);
    if (it != controls.end())
        return static_cast<uint32_t>(it - controls.begin());
    controls.push_back(record);
    return static_cast<uint32_t>(controls.size() - 1);
}

size_t PatternTrack::firstNoteOnAtOrAfter(int32_t tick) const
{
    auto it = std::partition_point(noteOns.begin(), noteOns.end(),
                                   [&](uint32_t i) { return notes[i].start < tick; });
    return static_cast<size_t>(it - noteOns.begin());
}

} // namespace melodrift::arrangix
