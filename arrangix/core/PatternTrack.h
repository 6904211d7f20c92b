#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace melodrift::arrangix {

// A note record of a pattern track. Velocity 0 marks the shared note-off
// record of a pitch (ticks -1).
struct PatternNote {
    uint8_t pitch = 0;
    uint8_t velocity = 0;
    int32_t start = -1;
    int32_t end = -1;
};

// A non-note channel message with the channel nibble cleared. data2 is 0 for
// the one-byte messages (program change, channel pressure).
struct ControlRecord {
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    bool operator==(const ControlRecord&) const = default;
};

// The events of one tick; indices into the track's note and control lists.
struct TimeSlice {
    int32_t start = 0;
    std::vector<uint32_t> notes;
    std::vector<uint32_t> controls;
    bool empty() const { return notes.empty() && controls.empty(); }
};

// One recorded part of a style segment on one MIDI channel.
class PatternTrack {
public:
    static constexpr uint8_t kNone = 0xFF;

    uint8_t channel = kNone;
    uint8_t program = kNone;
    int32_t length = 0;
    std::vector<TimeSlice> slices;
    std::vector<PatternNote> notes;     // creation order, shared note-offs included
    std::vector<uint32_t> noteOns;      // indices of note-ons, in start order
    std::vector<ControlRecord> controls;

    // Applies the note rules; returns the created note-on, or the shared
    // note-off record of the pitch, or nothing when the event is dropped.
    std::optional<uint32_t> createNote(int pitch, int velocity, int32_t tick);

    // Applies the control rules; returns the (possibly shared) record.
    std::optional<uint32_t> createControl(uint8_t status, uint8_t data1, uint8_t data2);

    // Index into noteOns of the first note-on starting at or after tick.
    size_t firstNoteOnAtOrAfter(int32_t tick) const;

private:
    std::optional<uint32_t> noteOn(int pitch, int velocity, int32_t tick);
    std::optional<uint32_t> noteOff(int pitch, int32_t tick);

    std::array<int32_t, 128> offRecord_ = filledWithMinusOne();
    std::array<std::vector<uint32_t>, 128> open_;  // open note-ons per pitch, ascending

    static std::array<int32_t, 128> filledWithMinusOne()
    {
        std::array<int32_t, 128> a{};
        a.fill(-1);
        return a;
    }
};

} // namespace melodrift::arrangix
