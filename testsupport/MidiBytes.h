// Builds Standard MIDI File bytes in tests, event by event.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace melodrift::testsupport {

class TrackBytes {
public:
    TrackBytes& Delta(uint32_t ticks);
    TrackBytes& Raw(std::vector<uint8_t> bytes);
    TrackBytes& Tempo(int bpm, uint32_t at = 0);
    TrackBytes& Metre(int numerator, int denominator, uint32_t at = 0);
    TrackBytes& Program(int channel, int program, uint32_t at = 0);
    // Note on and off; running status when runningStatus is set (note-off as
    // note-on with velocity 0).
    TrackBytes& Note(int pitch, uint32_t length, uint32_t gap = 0, bool runningStatus = false);
    TrackBytes& End();
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

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
    TrackBytes& Track();
    std::vector<uint8_t> Bytes() const;
    // Writes to a unique file under the test's temporary folder.
    std::string WriteFile(const std::string& name) const;

private:
    int m_format;
    uint16_t m_division;
    std::vector<TrackBytes> m_tracks;
};

// A one-track file of a melody: metre, tempo, then the notes; rests as gaps.
std::vector<uint8_t> MelodyFile(int numerator, int denominator, int bpm, const Melody& melody,
                                uint16_t division = 192, bool runningStatus = true);

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes);

} // namespace melodrift::testsupport
