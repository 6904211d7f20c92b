#include "StyleBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

namespace stylec {

namespace {

struct Timed {
    uint32_t tick;
    int order; // 0 note-off, 1 other, 2 note-on
    size_t seq;
    std::vector<uint8_t> bytes;
};

std::vector<const SourceSegment*> segmentsOf(const StyleSource& style, SegmentKind kind)
{
    std::vector<const SourceSegment*> out;
    for (const auto& seg : style.segments)
        if (seg.kind == kind)
            out.push_back(&seg);
    std::sort(out.begin(), out.end(), [](const SourceSegment* a, const SourceSegment* b) { return a->id < b->id; });
    return out;
}

krv::Track encode(const SourceTrack& track, uint32_t length)
{
    return krv::encodeTrack(trackEvents(track), length);
}

krv::Segment buildSegment(const SourceSegment& seg, int metre)
{
    const uint32_t length = seg.bars * barTicks(metre);
    const bool framing = seg.kind == SegmentKind::Intro || seg.kind == SegmentKind::Outro;
    krv::Segment out;
    out.id = static_cast<uint8_t>(seg.id);
    for (size_t g = 0; g < (framing ? 2u : 4u); ++g) {
        out.groups.emplace_back();
        for (const auto& t : seg.groups[g])
            out.groups.back().push_back(encode(t, length));
    }
    if (seg.drums)
        out.unpitched = encode(*seg.drums, length);
    return out;
}

// Distinct (channel, program) pairs of some tracks with their track counts.
void putVoices(uint8_t (&entry)[16][3], const std::vector<const SourceTrack*>& tracks)
{
    std::vector<std::tuple<uint8_t, uint8_t, uint8_t>> voices;
    for (const SourceTrack* t : tracks) {
        const uint8_t program = t->program < 0 ? 0xFF : static_cast<uint8_t>(t->program);
        auto hit = std::find_if(voices.begin(), voices.end(), [&](const auto& v) {
            return std::get<0>(v) == t->channel && std::get<1>(v) == program;
        });
        if (hit != voices.end())
            ++std::get<2>(*hit);
        else if (voices.size() < 16)
            voices.emplace_back(t->channel, program, 1);
    }
    for (size_t i = 0; i < voices.size(); ++i) {
        entry[i][0] = std::get<0>(voices[i]);
        entry[i][1] = std::get<1>(voices[i]);
        entry[i][2] = std::get<2>(voices[i]);
    }
}

void fillSegments(tagStyleInfo& info, const StyleSource& style)
{
    for (int kind = 0; kind < 4; ++kind) {
        const auto segments = segmentsOf(style, static_cast<SegmentKind>(kind));
        info.segmentCount[kind] = static_cast<uint8_t>(std::min<size_t>(segments.size(), 255));
        for (size_t j = 0; j < segments.size(); ++j) {
            const SourceSegment& seg = *segments[j];
            // The record has bar counts for ids 0..7 only (the parser allows no more).
            if (kind == 2 && seg.id >= 0 && seg.id < 8)
                info.introBars[seg.id] = static_cast<uint8_t>(std::min(seg.bars, 255));
            if (kind == 3 && seg.id >= 0 && seg.id < 8)
                info.outroBars[seg.id] = static_cast<uint8_t>(std::min(seg.bars, 255));
            const size_t parts = kind < 2 ? 1 : 2;
            for (size_t p = 0; p < parts && j * parts + p < 8; ++p) {
                std::vector<const SourceTrack*> tracks;
                for (size_t g = (kind < 2 ? 0 : p); g < (kind < 2 ? 4 : p + 1); ++g)
                    for (const auto& t : seg.groups[g])
                        tracks.push_back(&t);
                if (seg.drums)
                    tracks.push_back(&*seg.drums);
                putVoices(info.voices[8 * kind + j * parts + p], tracks);
            }
        }
    }
}

void copyText(char* field, size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

} // namespace

std::vector<krv::TrackEvent> trackEvents(const SourceTrack& track)
{
    std::vector<Timed> timed;
    const uint8_t ch = track.channel;
    if (track.program >= 0)
        timed.push_back({0, -1, 0, {static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(track.program)}});
    for (const auto& c : track.controls) {
        std::vector<uint8_t> bytes = {static_cast<uint8_t>(c.kind | ch), c.data1};
        if (c.kind != 0xC0 && c.kind != 0xD0)
            bytes.push_back(c.data2);
        timed.push_back({c.tick, 1, timed.size(), std::move(bytes)});
    }
    for (const auto& n : track.notes) {
        timed.push_back({n.start, 2, timed.size(), {static_cast<uint8_t>(0x90 | ch), n.pitch, n.velocity}});
        timed.push_back({n.end, 0, timed.size(), {static_cast<uint8_t>(0x80 | ch), n.pitch, 0x40}});
    }
    std::stable_sort(timed.begin(), timed.end(), [](const Timed& a, const Timed& b) {
        return std::tie(a.tick, a.order, a.seq) < std::tie(b.tick, b.order, b.seq);
    });
    std::vector<krv::TrackEvent> out;
    out.reserve(timed.size());
    for (auto& t : timed)
        out.push_back({t.tick, std::move(t.bytes)});
    return out;
}

krv::Block buildBlock(const StyleSource& style)
{
    krv::Block block;
    block.metre = static_cast<uint8_t>(style.metre);
    block.clocksPerClick = static_cast<uint8_t>(style.clocksPerClick > 0 ? style.clocksPerClick
                                                                         : style.metre == 3 ? 36 : 24);
    block.thirtySecondsPerQuarter = 8;
    block.tempo = static_cast<uint32_t>(std::lround(60000000.0 / style.tempo));
    block.groupCount = 4;
    for (int kind = 0; kind < 4; ++kind) {
        block.kinds.emplace_back();
        for (const SourceSegment* seg : segmentsOf(style, static_cast<SegmentKind>(kind)))
            block.kinds.back().push_back(buildSegment(*seg, style.metre));
    }
    return block;
}

tagStyleInfo buildInfo(const StyleSource& style, int32_t dataSize)
{
    tagStyleInfo info;
    std::memset(&info, 0, sizeof info);
    info.id = style.id;
    info.revision = style.revision;
    info.dataSize = dataSize;
    info.state = SF_STATE_INSTALLED;
    info.restSize = SF_INFO_REST;
    info.metre = style.metre;
    info.tempo = static_cast<int16_t>(style.tempo);
    info.flags = style.featured ? SF_FLAG_FEATURED : 0;
    std::memset(info.categories, 0xFF, sizeof info.categories);
    for (size_t i = 0; i < style.categories.size() && i < 4; ++i)
        info.categories[i] = static_cast<int8_t>(style.categories[i]);
    copyText(info.author, sizeof info.author, style.author);
    copyText(info.name, sizeof info.name, style.name);
    copyText(info.description, sizeof info.description, style.description);
    info.reserved[0] = info.reserved[1] = -1;
    std::memset(info.voices, 0xFF, sizeof info.voices);
    fillSegments(info, style);
    return info;
}

CompiledStyle compileStyle(const StyleSource& style)
{
    CompiledStyle out;
    out.block = krv::encodeBlock(buildBlock(style));
    out.data = krv::compress(out.block);
    out.info = buildInfo(style, static_cast<int32_t>(out.data.size()));
    return out;
}

} // namespace stylec
