// Builds Standard MIDI File bytes in tests, event by event.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testmidi {

class TrackBytes {
public:
    TrackBytes& delta(uint32_t ticks);
    TrackBytes& raw(std::vector<uint8_t> bytes);
    TrackBytes& tempo(int bpm, uint32_t at = 0);
    TrackBytes& metre(int numerator, int denominator, uint32_t at = 0);
    // Note on and off; running status when runningStatus is set (note-off as
    // note-on with velocity 0).
    TrackBytes& note(int pitch, uint32_t length, uint32_t gap = 0, bool runningStatus = false);
    TrackBytes& end();
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    bool m_noteOnSent = false;
};

struct Melody {
    std::vector<std::pair<int, uint32_t>> notes;  // pitch (-1 rest), length
};

class MidiBytes {
public:
    MidiBytes(int format, uint16_t division);
    TrackBytes& track();
    std::vector<uint8_t> bytes() const;
    // Writes to a unique file under the test's temporary folder.
    std::string writeFile(const std::string& name) const;

private:
    int m_format;
    uint16_t m_division;
    std::vector<TrackBytes> m_tracks;
};

// A one-track file of a melody: metre, tempo, then the notes; rests as gaps.
std::vector<uint8_t> melodyFile(int numerator, int denominator, int bpm, const Melody& melody,
                                uint16_t division = 192, bool runningStatus = true);

std::string writeTemp(const std::string& name, const std::vector<uint8_t>& bytes);

}  // namespace testmidi
