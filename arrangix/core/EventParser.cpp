#include "EventParser.h"

#include "Log.h"

namespace melodrift::arrangix {

namespace {

// Ticks beyond this are no pattern anyone recorded; refusing them keeps all
// later tick arithmetic far from overflow.
constexpr int64_t kMaxTick = 1 << 26;

class EventParser {
public:
    EventParser(std::span<const uint8_t> events, PatternTrack& track) : in_(events), track_(track) {}

    int32_t run()
    {
        uint32_t delta;
        if (in_.atEnd())
            return 0;
        if (!in_.vlq(delta))
            return kErrFormat;
        tick_ = delta;
        slice_.start = static_cast<int32_t>(tick_);
        for (;;) {
            int32_t r = event();
            if (r != 0)
                return finish(r);
            if (in_.atEnd())
                return 0;  // no end-of-track: keep the stored length, drop the open slice
            if (!in_.vlq(delta))
                return kErrFormat;
            if (!advance(delta))
                return kErrFormat;
        }
    }

private:
    int32_t finish(int32_t r)
    {
        if (r != 1)
            return r;
        track_.length = static_cast<int32_t>(tick_);
        if (!slice_.empty())
            track_.slices.push_back(std::move(slice_));
        return 1;
    }

    bool advance(uint32_t delta)
    {
        if (delta == 0)
            return true;
        tick_ += delta;
        if (tick_ > kMaxTick)
            return false;
        if (!slice_.empty())
            track_.slices.push_back(std::move(slice_));
        slice_ = TimeSlice{};
        slice_.start = static_cast<int32_t>(tick_);
        return true;
    }

    // 0 to go on, 1 at end of track, or an error.
    int32_t event()
    {
        uint8_t b;
        if (!in_.u8(b))
            return kErrFormat;
        if (b == 0xFF)
            return meta();
        if (b == 0xF0) {
            uint32_t len;
            return in_.vlq(len) && in_.skip(len) ? 0 : kErrFormat;
        }
        if (b > 0xF0)
            return kErrEvent;
        if (b < 0x80) {
            if (status_ == 0)
                return kErrEvent;
            return channelMessage(status_, b);
        }
        status_ = b;
        uint8_t d1;
        if (!in_.u8(d1))
            return kErrFormat;
        return channelMessage(status_, d1);
    }

    int32_t meta()
    {
        uint8_t type;
        uint32_t len;
        if (!in_.u8(type))
            return kErrFormat;
        if (type == 0x2F) {
            uint8_t l;
            if (!in_.u8(l) || l != 0)
                return kErrFormat;
            return 1;
        }
        return in_.vlq(len) && in_.skip(len) ? 0 : kErrFormat;
    }

    int32_t channelMessage(uint8_t status, uint8_t d1)
    {
        if (d1 & 0x80)
            return kErrFormat;
        uint8_t kind = status & 0xF0;
        uint8_t d2 = 0;
        bool twoBytes = kind != 0xC0 && kind != 0xD0;
        if (twoBytes && (!in_.u8(d2) || (d2 & 0x80)))
            return kErrFormat;
        uint8_t channel = status & 0x0F;
        if (track_.channel == PatternTrack::kNone)
            track_.channel = channel;
        else if (track_.channel != channel)
            log("Redefine channel.");
        if (kind == 0x90 || kind == 0x80) {
            note(d1, kind == 0x90 ? d2 : 0);
            return 0;
        }
        if (kind == 0xC0 && track_.program == PatternTrack::kNone)
            track_.program = d1;
        if (auto rec = track_.createControl(kind, d1, d2))
            slice_.controls.push_back(*rec);
        return 0;
    }

    void note(uint8_t pitch, uint8_t velocity)
    {
        if (auto rec = track_.createNote(pitch, velocity, static_cast<int32_t>(tick_)))
            slice_.notes.push_back(*rec);
        else
            log("wrong note\n");
    }

    ByteReader in_;
    PatternTrack& track_;
    TimeSlice slice_;
    int64_t tick_ = 0;
    uint8_t status_ = 0;
};

}  // namespace

int32_t parseTrackEvents(std::span<const uint8_t> events, PatternTrack& track)
{
    return EventParser(events, track).run();
}

} // namespace melodrift::arrangix
