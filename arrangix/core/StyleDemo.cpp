#include "StyleDemo.h"

namespace melodrift::arrangix {

namespace {

struct DemoChord {
    uint8_t root;
    uint8_t type;
};

// [mode][row][chord]
constexpr DemoChord kProgressions[2][4][4] = {
    {{{0, 0}, {9, 1}, {2, 1}, {7, 2}},
     {{0, 0}, {9, 1}, {5, 0}, {7, 0}},
     {{0, 0}, {2, 1}, {5, 0}, {7, 0}},
     {{0, 0}, {4, 1}, {9, 1}, {7, 2}}},
    {{{9, 1}, {2, 1}, {7, 0}, {4, 0}},
     {{9, 1}, {4, 1}, {5, 0}, {7, 0}},
     {{9, 1}, {0, 0}, {2, 1}, {4, 1}},
     {{9, 1}, {7, 0}, {5, 0}, {4, 0}}},
};

ChordItem chordOf(int mode, int row, int index, int key, int32_t duration)
{
    const DemoChord& c = kProgressions[mode][row][index];
    return ChordItem{duration, c.type, static_cast<uint8_t>((c.root + key) % 12)};
}

Block blockOf(const DecodedStyle& style, uint8_t kind, uint8_t id, int32_t duration)
{
    Block b;
    b.styleId = style.id;
    b.kind = kind;
    b.id = id;
    b.duration = duration;
    return b;
}

void fullTour(DecodedStyle& style, int key, int mode, int64_t t, Plan& plan)
{
    const int32_t bar = style.barLength();
    const auto& mains = style.segments[kMain];
    const auto& fills = style.segments[kFill];
    for (size_t g = 0; g < mains.size(); ++g) {
        int h = static_cast<int>((t >> (g + 2)) % 4);
        Block main = blockOf(style, kMain, mains[g].id, 3 * bar);
        for (int i = 0; i < 3; ++i)
            main.chords.push_back(chordOf(mode, h, i, key, bar));
        // A style without that fill plays its first one; without any fill
        // the main pattern carries the fourth chord.
        int wanted = h % 2;
        const StyleSegment* fill = style.find(kFill, wanted);
        if (fill == nullptr && !fills.empty())
            fill = &fills.front();
        if (fill == nullptr) {
            main.chords.push_back(chordOf(mode, h, 3, key, bar));
            main.duration += bar;
            plan.push_back(std::move(main));
            continue;
        }
        plan.push_back(std::move(main));
        Block f = blockOf(style, kFill, fill->id, bar);
        f.chords.push_back(chordOf(mode, h, 3, key, bar));
        plan.push_back(std::move(f));
    }
}

}  // namespace

Plan demoPlan(DecodedStyle& style, int type, int segmentId, int key, int mode, int64_t t)
{
    Plan plan;
    const int32_t bar = style.barLength();
    if (type < 0 || type > 2) {
        fullTour(style, key, mode, t, plan);
        return plan;
    }
    static const uint8_t kinds[3] = {kMain, kIntro, kOutro};
    Block b = blockOf(style, kinds[type], static_cast<uint8_t>(segmentId), 4 * bar);
    if (segmentId < 0 || segmentId > 255)
        b.styleId = -1;  // names no segment of this style: the render reports it
    if (type == 0) {
        int row = static_cast<int>((t >> 2) % 4);
        for (int i = 0; i < 4; ++i)
            b.chords.push_back(chordOf(mode, row, i, key, bar));
    } else {
        b.keyRoot = static_cast<uint8_t>(key);
        b.minor = static_cast<uint8_t>(mode);
    }
    plan.push_back(std::move(b));
    return plan;
}

Plan segmentDataPlan(DecodedStyle& style, int32_t code)
{
    Plan plan;
    auto add = [&](uint8_t kind, size_t position) {
        const StyleSegment& seg = style.segments[kind][position];
        Block b = blockOf(style, kind, seg.id, seg.length);
        b.keyRoot = 0;
        b.minor = 0;
        if (kind == kMain)
            b.chords.push_back(ChordItem{seg.length, 0, 0});
        plan.push_back(std::move(b));
    };
    if (code < 0) {
        for (uint8_t kind : {kMain, kIntro, kOutro})
            for (size_t i = 0; i < style.segments[kind].size(); ++i)
                add(kind, i);
        return plan;
    }
    uint8_t kind = code < 256 ? kMain : code < 272 ? kIntro : kOutro;
    size_t position = static_cast<size_t>(code - (kind == kMain ? 0 : kind == kIntro ? 256 : 272));
    if (position < style.segments[kind].size())
        add(kind, position);
    return plan;
}

} // namespace melodrift::arrangix
