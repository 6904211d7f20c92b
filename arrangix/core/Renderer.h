#pragma once

#include "DecodedStyle.h"
#include "OutputTrack.h"
#include "Plan.h"
#include "StyleCatalog.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace melodrift::arrangix {

// Lays the style's pattern tracks along a plan and writes the result as a
// Standard MIDI File. One renderer per call.
class Renderer {
public:
    Renderer(StyleSource& source, std::shared_ptr<DecodedStyle> style, int32_t composerTempo)
        : source_(source), style_(std::move(style)), composerTempo_(composerTempo)
    {
    }

    // *size: in capacity, out bytes written. 0 or an SM_E_ code.
    int32_t render(const Plan& plan, uint8_t* buffer, int32_t* size);

    // Steps of render, open for tests.
    int32_t renderBlocks(const Plan& plan);
    const std::vector<OutputTrack>& tracks() const { return tracks_; }

    // Places pattern ticks p0..p1 of a track at tick t. Without root the
    // events are copied unchanged. 3 when a chord was given and notes were
    // left out (notes held over the range's ends), else 0.
    int placeTrack(const PatternTrack& track, int32_t t, int32_t p0, int32_t p1, std::optional<int> root,
                   std::optional<int> type);

private:
    int32_t renderBlock(const Block& block, int32_t t0);
    void renderUnpitched(const StyleSegment& seg, int32_t t0, int32_t duration, int32_t l);
    void renderChords(const Block& block, StyleSegment& seg, int32_t t0, int32_t l);
    OutputTrack& outputFor(const PatternTrack& track, int32_t t);
    OutputTrack* findOutput(uint8_t channel);

    StyleSource& source_;
    std::shared_ptr<DecodedStyle> style_;
    int32_t composerTempo_;
    std::vector<OutputTrack> tracks_;
};

} // namespace melodrift::arrangix
