#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace melodrift::sonobox {

// The engine's block in a project file:
//   "SBXP", u32 format (1), u32 block bytes (all of this block, magic included)
//   i32 tempo, i32 metre, f32 volume[6], i32 effect state[11]
//   u32 take count (<= 6), per take: u32 stream, u32 samples, u32 bytes, FLAC bytes
//     (a FLAC stream, "fLaC" first)
//   u32 segment count, per segment: f64 source start, f64 length
//   u32 recogniser bytes: the size of the recogniser's own block that follows
// Little-endian throughout.
struct ProjectBlock {
    struct Take {
        std::uint32_t stream = 0;
        std::uint32_t samples = 0;
        std::vector<std::uint8_t> flac;
    };
    int tempo = 75;
    int metre = 0;
    std::array<float, 6> volumes{};
    std::array<std::int32_t, 11> effects{};
    std::vector<Take> takes;
    std::vector<std::pair<double, double>> segments;
    std::uint32_t recogniserBytes = 0;
};

constexpr std::uint32_t kProjectBlockFormat = 1;
// Offset of the recogniser size from the end of the block.
constexpr std::size_t kRecogniserSizeFromEnd = 4;

std::vector<std::uint8_t> SerializeProjectBlock(const ProjectBlock& block);

// Parses a block from the bytes that start at its offset (and run to the end
// of the file). Every count and length is checked against size; nullopt when
// anything does not fit. blockBytes receives the size of the engine's part.
std::optional<ProjectBlock> ParseProjectBlock(const std::uint8_t* data, std::size_t size, std::size_t* blockBytes);

} // namespace melodrift::sonobox
