#include "MidiWriter.h"

#include "Arrangix.h"

#include <cstring>

namespace melodrift::arrangix {

namespace {

class BoundedOut {
public:
    BoundedOut(uint8_t* buf, int32_t cap) : buf_(buf), cap_(cap < 0 ? 0 : static_cast<size_t>(cap)) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t room() const { return cap_ - pos_; }

    void byte(uint8_t b)
    {
        if (!ok_ || pos_ >= cap_) {
            ok_ = false;
            return;
        }
        buf_[pos_++] = b;
    }
    void be(uint32_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i)
            byte(static_cast<uint8_t>(v >> (8 * i)));
    }
    void vlq(uint32_t v)
    {
        uint8_t tmp[5];
        int n = 0;
        tmp[n++] = v & 0x7F;
        while ((v >>= 7) != 0)
            tmp[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
        while (n > 0)
            byte(tmp[--n]);
    }
    void text(const char* s, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            byte(static_cast<uint8_t>(s[i]));
    }
    // Fills a 4-byte length reserved at `at` with the bytes written since.
    void patchLength(size_t at)
    {
        if (!ok_)
            return;
        auto len = static_cast<uint32_t>(pos_ - at - 4);
        for (int i = 0; i < 4; ++i)
            buf_[at + i] = static_cast<uint8_t>(len >> (8 * (3 - i)));
    }

private:
    uint8_t* buf_;
    size_t cap_;
    size_t pos_ = 0;
    bool ok_ = true;
};

bool timeSignature(uint8_t metre, uint8_t& nn, uint8_t& dd)
{
    static const uint8_t table[4][2] = {{4, 2}, {3, 2}, {2, 2}, {6, 3}};
    if (metre > 3)
        return false;
    nn = table[metre][0];
    dd = table[metre][1];
    return true;
}

const char* trackName(const OutputTrack& t)
{
    if (t.channel == 9)
        return "Drum";
    if (t.channel == 8)
        return "Bass";
    if (t.program > 127)
        return "Unknown";
    return generalMidiName(t.program);
}

// A part whose first placed span carried no notes loses the program change
// that opened its pattern; without one it would sound as a piano.
bool needsOpeningProgram(const OutputTrack& t)
{
    if (t.program > 127 || t.channel == 9)
        return false;
    for (const OutputSlice& s : t.slices) {
        for (const ControlRecord& c : s.controls)
            if (c.status == 0xC0)
                return false;
        if (!s.notes.empty())
            return true;
    }
    return false;
}

void writeTrack(BoundedOut& out, const OutputTrack& t)
{
    out.text("MTrk", 4);
    size_t lengthAt = out.pos();
    out.be(0, 4);
    const char* name = trackName(t);
    size_t nameLength = std::strlen(name);
    out.vlq(0);
    out.byte(0xFF);
    out.byte(0x03);
    out.vlq(static_cast<uint32_t>(nameLength));
    out.text(name, nameLength);
    int running = -1;
    auto status = [&](uint8_t s) {
        if (s != running)
            out.byte(s);
        running = s;
    };
    if (needsOpeningProgram(t)) {
        out.vlq(0);
        status(static_cast<uint8_t>(0xC0 | t.channel));
        out.byte(t.program);
    }
    int32_t previous = 0;
    for (const OutputSlice& s : t.slices) {
        if (s.controls.empty() && s.notes.empty())
            continue;
        bool firstEvent = true;
        auto delta = [&] {
            out.vlq(firstEvent ? static_cast<uint32_t>(s.start - previous) : 0);
            firstEvent = false;
        };
        for (const ControlRecord& c : s.controls) {
            delta();
            status(static_cast<uint8_t>(c.status | t.channel));
            out.byte(c.data1);
            if (c.status != 0xC0 && c.status != 0xD0)
                out.byte(c.data2);
        }
        for (const OutputNote& n : s.notes) {
            delta();
            status(static_cast<uint8_t>(0x90 | t.channel));
            out.byte(n.pitch);
            out.byte(n.velocity);
        }
        previous = s.start;
    }
    out.vlq(static_cast<uint32_t>(t.length > previous ? t.length - previous : 0));
    out.byte(0xFF);
    out.byte(0x2F);
    out.byte(0x00);
    out.patchLength(lengthAt);
}

}  // namespace

int32_t writeMidiFile(const DecodedStyle& style, int32_t composerTempo, const std::vector<OutputTrack>& tracks,
                      uint8_t* buffer, int32_t capacity, int32_t& written)
{
    written = 0;
    if (buffer == nullptr || capacity <= 25)
        return SM_E_BUFFER;
    BoundedOut out(buffer, capacity);
    out.text("MThd", 4);
    out.be(6, 4);
    out.be(static_cast<uint16_t>(style.format), 2);
    out.be(static_cast<uint32_t>(tracks.size() + 1), 2);
    out.be(static_cast<uint16_t>(style.division), 2);

    uint8_t nn, dd;
    if (!timeSignature(style.metre, nn, dd)) {
        written = static_cast<int32_t>(out.pos());
        return SM_E_METRE;
    }
    out.text("MTrk", 4);
    size_t lengthAt = out.pos();
    out.be(0, 4);
    uint32_t tempo = composerTempo > 0 ? static_cast<uint32_t>(composerTempo) : static_cast<uint32_t>(style.tempo);
    if (tempo > 0xFFFFFF)
        tempo = 0xFFFFFF;  // the tempo event has three bytes
    const uint8_t conductor[] = {0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(tempo >> 16),
                                 static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo),
                                 0x00, 0xFF, 0x58, 0x04, nn, dd, style.clocksPerClick,
                                 style.thirtySecondsPerQuarter, 0x00, 0xFF, 0x2F, 0x00};
    for (uint8_t b : conductor)
        out.byte(b);
    out.patchLength(lengthAt);
    for (const OutputTrack& t : tracks)
        writeTrack(out, t);
    written = static_cast<int32_t>(out.pos());
    return out.ok() ? 0 : SM_E_BUFFER;
}

} // namespace melodrift::arrangix
