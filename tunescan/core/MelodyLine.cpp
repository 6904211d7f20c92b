#include "MelodyLine.h"

#include <algorithm>
#include <cmath>

namespace melodrift::tunescan {

MelodyLine::MelodyLine(const MidiFile& file)
    : m_file(file)
{
}

uint64_t MelodyLine::toQuarterTicks(uint64_t fileTicks) const
{
    if (m_file.division > 0) {
        uint64_t d = static_cast<uint64_t>(m_file.division);
        return (fileTicks * kTicksPerQuarter * 2 + d) / (2 * d);
    }
    // SMPTE time: frames per second in the high byte, ticks per frame low.
    int fps = -(m_file.division >> 8);
    int perFrame = m_file.division & 0xFF;
    double ticksPerSecond = (fps == 29 ? 29.97 : fps) * perFrame;
    double seconds = static_cast<double>(fileTicks) / ticksPerSecond;
    double quarters = seconds * 1e6 / m_file.microsPerQuarter;
    // Far past any melody; the bound keeps the rounding defined.
    double ticks = std::min(quarters * kTicksPerQuarter, 0x1p62);
    return static_cast<uint64_t>(std::llround(ticks));
}

int MelodyLine::metreCode() const
{
    int n = m_file.numerator;
    int d = m_file.denominator;
    if (n == 3 && d == 4)
        return 1;
    if (n == 2 && d == 4)
        return 2;
    if (n == 6 && d == 8)
        return 3;
    return 0;
}

int MelodyLine::tempo() const
{
    return static_cast<int>(std::lround(60e6 / m_file.microsPerQuarter));
}

std::vector<MelodyNote> MelodyLine::extract(const MidiTrack& track) const
{
    std::vector<MidiNote> notes = track.notes;
    // By start, and of notes starting together the highest first.
    std::sort(notes.begin(), notes.end(), [](const MidiNote& a, const MidiNote& b) {
        return a.start != b.start ? a.start < b.start : a.pitch > b.pitch;
    });
    std::vector<MelodyNote> line;
    uint64_t cursor = 0;
    for (size_t i = 0; i < notes.size(); ++i) {
        if (i > 0 && notes[i].start == notes[i - 1].start)
            continue;
        uint64_t start = toQuarterTicks(notes[i].start);
        uint64_t end = toQuarterTicks(notes[i].end);
        for (size_t j = i + 1; j < notes.size(); ++j) {
            if (notes[j].start != notes[i].start) {
                end = std::min(end, toQuarterTicks(notes[j].start));
                break;
            }
        }
        start = std::max(start, cursor);
        if (end <= start)
            continue;
        if (start > cursor)
            line.push_back(MelodyNote{kRest, static_cast<int32_t>(std::min<uint64_t>(start - cursor, INT32_MAX))});
        line.push_back(MelodyNote{notes[i].pitch, static_cast<int32_t>(std::min<uint64_t>(end - start, INT32_MAX))});
        cursor = end;
    }
    return line;
}

} // namespace melodrift::tunescan
