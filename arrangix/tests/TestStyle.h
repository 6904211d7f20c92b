#pragma once
// The small style most tests compose with, built in memory.

#include "KrvBuilder.h"

namespace krvtest {

// A 4/4 style: main patterns 0 and 1 of four bars (piano chord tones on
// channel 0, bass C2 on channel 8, drums as the unpitched part), fills 0 and
// 1 of one bar, intro 0 of two bars (major and minor groups), outro 0 of one
// bar.
inline Style smallStyle(uint8_t metre = 0)
{
    const uint32_t bar = metre == 0 ? 768 : metre == 2 ? 384 : 576;
    Style s;
    s.metre = metre;
    if (metre == 3) {
        s.clocksPerClick = 0x18;
        s.thirtySeconds = 8;
    }
    auto piano = [&](uint32_t bars, uint8_t third) {
        Events e;
        e.program(0, 0, 0);
        for (uint32_t b = 0; b < bars; ++b) {
            e.note(b * bar, b * bar + bar / 2, 0, 60);
            e.note(b * bar, b * bar + bar / 2, 0, third);
            e.note(b * bar, b * bar + bar / 2, 0, 67);
        }
        return Track{uint16_t(bars * bar), e.end(bars * bar)};
    };
    auto bass = [&](uint32_t bars) {
        Events e;
        e.program(0, 8, 33);
        for (uint32_t b = 0; b < bars; ++b)
            e.note(b * bar, b * bar + bar / 2, 8, 36);
        return Track{uint16_t(bars * bar), e.end(bars * bar)};
    };
    auto drums = [&](uint32_t bars) {
        Events e;
        for (uint32_t beat = 0; beat < bars * bar / 192; ++beat)
            e.note(beat * 192, beat * 192 + 48, 9, beat % 2 ? 38 : 36);
        return Track{uint16_t(bars * bar), e.end(bars * bar)};
    };
    for (uint8_t id : {0, 1})
        s.kinds[0].push_back(Segment{id, {{piano(4, 64), bass(4)}, {piano(4, 63), bass(4)}}, drums(4)});
    for (uint8_t id : {0, 1})
        s.kinds[1].push_back(Segment{id, {{piano(1, 64)}}, drums(1)});
    s.kinds[2].push_back(Segment{0, {{piano(2, 64), bass(2)}, {piano(2, 63), bass(2)}}, {}});
    s.kinds[3].push_back(Segment{0, {{piano(1, 64)}, {piano(1, 63)}}, {}});
    return s;
}

}  // namespace krvtest
