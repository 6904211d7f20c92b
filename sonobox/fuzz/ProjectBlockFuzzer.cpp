// Project blocks come from files the user opens: parse, then decode the takes
// the way loading does.
#include <cstddef>
#include <cstdint>

#include "ProjectBlock.h"
#include "SoundFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t used = 0;
    auto block = melodrift::sonobox::ParseProjectBlock(data, size, &used);
    if (!block)
        return 0;
    if (used > size)
        __builtin_trap();
    for (const auto& take : block->takes)
        melodrift::sonobox::DecodeFlacTake(take.flac.data(), take.flac.size(), take.samples);
    return 0;
}
