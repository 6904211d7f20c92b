#include "StyleDecoder.h"

#include "ByteReader.h"
#include "EventParser.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace melodrift::arrangix {

namespace {

class KrvReader {
public:
    KrvReader(std::span<const uint8_t> body, DecodedStyle& style) : in_(body, 16), style_(style), base_(body) {}

    int32_t run(int kinds, int groups)
    {
        for (int kind = 0; kind < kinds; ++kind) {
            int32_t r = kindBlock(kind, groups);
            if (r != 0)
                return r;
        }
        return 0;
    }

private:
    int32_t kindBlock(int kind, int groups)
    {
        uint8_t count;
        if (!in_.u8(count))
            return kErrFormat;
        bool pitchedKinds = kind == kMain || kind == kFill;
        for (int i = 0; i < count; ++i) {
            StyleSegment seg;
            if (!in_.u8(seg.id))
                return kErrFormat;
            int groupCount = pitchedKinds ? groups : 2;
            for (int g = 0; g < groupCount; ++g) {
                int32_t r = group(seg, seg.groups[g]);
                if (r != 0)
                    return r;
            }
            uint8_t a, b;
            if (pitchedKinds && in_.peek(0, a) && in_.peek(1, b) && a == 0xFF && b == 0x01) {
                in_.skip(2);
                PatternTrack t;
                int32_t r = track(seg, t);
                if (r != 0)
                    return r;
                seg.unpitched = std::move(t);
            }
            style_.segments[kind].push_back(std::move(seg));
        }
        return 0;
    }

    int32_t group(StyleSegment& seg, std::vector<PatternTrack>& out)
    {
        uint8_t count;
        if (!in_.u8(count))
            return kErrFormat;
        for (int i = 0; i < count; ++i) {
            PatternTrack t;
            int32_t r = track(seg, t);
            if (r != 0)
                return r;
            out.push_back(std::move(t));
        }
        return 0;
    }

    int32_t track(StyleSegment& seg, PatternTrack& t)
    {
        uint32_t length, bytes;
        if (!in_.uint(2, length) || !in_.uint(4, bytes) || bytes > in_.remaining())
            return kErrFormat;
        t.length = static_cast<int32_t>(length);
        std::span<const uint8_t> events(rawAt(in_.pos()), bytes);
        int32_t r = parseTrackEvents(events, t);
        if (r < 0)
            return r;
        in_.skip(bytes);
        seg.length = std::max(seg.length, t.length);
        return 0;
    }

    const uint8_t* rawAt(size_t pos) const { return base_.data() + pos; }

    ByteReader in_;
    DecodedStyle& style_;
    std::span<const uint8_t> base_;
};

}  // namespace

StyleDecoder::Result StyleDecoder::decode(std::span<const uint8_t> compressed, int32_t id)
{
    // Allocated per decode and left uninitialised: inflate writes what is read.
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kInflateCapacity);
    uLongf size = static_cast<uLongf>(kInflateCapacity);
    int z = uncompress(buffer.get(), &size, compressed.data(), static_cast<uLong>(compressed.size()));
    if (z != Z_OK)
        return {z, nullptr};
    return parse(std::span<const uint8_t>(buffer.get(), size), id);
}

StyleDecoder::Result StyleDecoder::parse(std::span<const uint8_t> inflated, int32_t id)
{
    if (inflated.size() < 16 || inflated[0] != 'K' || inflated[1] != 'R' || inflated[2] != 'V')
        return {kErrFormat, nullptr};
    ByteReader head(inflated, 4);
    uint32_t bodyLength = 0;
    head.uint(4, bodyLength);
    if (static_cast<uint64_t>(bodyLength) + 8 > inflated.size())
        return {kErrBody, nullptr};
    // The body is everything the length covers; nothing past it is read.
    auto body = inflated.first(std::max<size_t>(16, static_cast<size_t>(bodyLength) + 8));
    auto style = std::make_shared<DecodedStyle>();
    style->id = id;
    style->metre = inflated[8];
    style->clocksPerClick = inflated[9];
    style->thirtySecondsPerQuarter = inflated[10];
    int kinds = inflated[11];
    int groups = inflated[12];
    style->tempo = (inflated[13] << 16) | (inflated[14] << 8) | inflated[15];
    if (kinds > 4 || groups > 4)
        return {kErrFormat, nullptr};
    KrvReader reader(body, *style);
    int32_t r = reader.run(kinds, groups);
    if (r != 0)
        return {r, nullptr};
    return {0, std::move(style)};
}

} // namespace melodrift::arrangix
