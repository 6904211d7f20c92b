// An analyser at tempo 120 in 4/4 with 20 frames a beat (grid unit 5 frames,
// bar 80 frames), and a stand-in for the key finder that records its calls.
#pragma once

#include "Analyser.h"
#include "SungMelody.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace testsignal {

using Notes = std::vector<std::pair<int, int>>;  // note number (128 rest), ticks

struct KeyFinder {
    static inline int calls = 0;
    static inline int answer = 0;
    static inline std::vector<uint8_t> lastNotes;
    static inline int32_t lastTicksPerBeat = 0;
    static int32_t find(const uint8_t* notes, const uint16_t*, int32_t count, int32_t ticksPerBeat, int32_t)
    {
        ++calls;
        lastNotes.assign(notes, notes + count);
        lastTicksPerBeat = ticksPerBeat;
        return answer;
    }
};

class MelodyFixture : public ::testing::Test {
protected:
    static constexpr uint32_t kFPB = 20;
    static constexpr uint32_t kBeat = kFPB;
    static constexpr uint32_t kBar = 4 * kFPB;

    void SetUp() override
    {
        KeyFinder::calls = 0;
        KeyFinder::answer = 0;
        // These tests pin down the steady-segment method frame by frame.
        analyser.setMethod(pitchlore::Analyser::Method::Segments);
        ASSERT_TRUE(analyser.reset(120, 0, 2048, kFPB));
    }

    Notes melody() const
    {
        Notes out;
        const auto& o = analyser.outputs();
        for (size_t i = 0; i < o.noteNumbers().size(); ++i)
            out.emplace_back(o.noteNumbers()[i], o.lengths()[i] * 192 / kFPB);
        return out;
    }

    pitchlore::Analyser analyser{&KeyFinder::find};
    TrackBuilder track{analyser};
};

}  // namespace testsignal
