// Any bytes as an analysis block, in both layouts: reading must stay inside
// the input, and a block that reads must load and analyse without harm.
#include "AnalysisBlock.h"

#include <cstdlib>

namespace {

int32_t fakeKey(const uint8_t*, const uint16_t*, int32_t count, int32_t, int32_t) { return count % 13 - 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> bytes(data, size);
    for (auto layout : {pitchlore::AnalysisBlock::Layout::Records, pitchlore::AnalysisBlock::Layout::Older}) {
        auto block = pitchlore::AnalysisBlock::read(bytes, layout);
        if (!block)
            continue;
        pitchlore::Analyser analyser(&fakeKey);
        block->applyTo(analyser);
        if (!analyser.configured())
            std::abort();
        for (uint16_t length : analyser.outputs().lengths())
            (void)length;
        for (uint8_t note : analyser.outputs().noteNumbers())
            if (note > 128)
                std::abort();
        analyser.changeKey(3);
        (void)analyser.pitchRevise();
        (void)pitchlore::AnalysisBlock::write(analyser);
    }
    return 0;
}
