#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace melodrift::tidelink {

inline constexpr size_t kDetailBlockSize = 1780;
inline constexpr size_t kStyleInfoSize = 1800;

// The style info record handed to the style store: 20 leading bytes (the
// style id first) and the detail block.
using StyleInfoRecord = std::array<uint8_t, kStyleInfoSize>;

// Sets the block part of the record to its initial state.
void ResetDetailBlock(StyleInfoRecord& record);

// Parses the server's detail data into the block part of the record. True
// only when the data is well formed and consumed exactly; on false the
// record may be partly written but never beyond its end.
bool ParseDetail(const uint8_t* data, size_t size, StyleInfoRecord& record);

} // namespace melodrift::tidelink
