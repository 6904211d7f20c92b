// Checks a style data stream the way the composer will read it: one complete
// zlib stream that inflates to at most SF_DATA_MAX bytes of a "KRV" block
// whose body length fits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace melodrift::patbank {

// The inflated block, or nothing (with *why) when the stream is refused.
std::optional<std::vector<uint8_t>> inflateStyleData(std::span<const uint8_t> stream, std::string* why);

bool checkStyleData(std::span<const uint8_t> stream, std::string* why);

} // namespace melodrift::patbank
