// The shipped style file (<id>.mds in the library folder): one style's info
// record and its compressed data, with a checksum over both.
//
//   0  "MDSF"          4  uint32 version (1)   8  uint32 info size (1800)
//   12 uint32 data size                        16 uint32 CRC-32 of info + data
//   20 info record     1820 data (a zlib stream)
// All integers little-endian; the file is exactly 1820 + data size bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Patbank.h"

namespace melodrift::patbank {

constexpr uint32_t kStyleFileVersion = 1;
constexpr size_t kStyleFileHeader = 20;
// A stream that inflates to at most SF_DATA_MAX bytes is never this large.
constexpr size_t kMaxCompressedData = 2 * SF_DATA_MAX;

struct StyleFileContents {
    tagStyleInfo info;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> serializeStyleFile(const tagStyleInfo& info, std::span<const uint8_t> data);

// Checks sizes, checksum and the info record; *why says what was wrong.
std::optional<StyleFileContents> parseStyleFile(std::span<const uint8_t> bytes, std::string* why);

} // namespace melodrift::patbank
