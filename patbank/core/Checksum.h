// CRC-32 over a file's bytes except its own checksum field, so no header
// field can change unnoticed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>
#include <zlib.h>

namespace melodrift::patbank {

inline uint32_t fileChecksum(std::span<const uint8_t> bytes, size_t crcOffset)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, bytes.data(), static_cast<uInt>(crcOffset));
    const auto rest = bytes.subspan(crcOffset + 4);
    crc = crc32(crc, rest.data(), static_cast<uInt>(rest.size()));
    return static_cast<uint32_t>(crc);
}

inline void storeChecksum(std::vector<uint8_t>& bytes, size_t crcOffset)
{
    const uint32_t crc = fileChecksum(bytes, crcOffset);
    for (int i = 0; i < 4; ++i)
        bytes[crcOffset + i] = static_cast<uint8_t>(crc >> (8 * i));
}

} // namespace melodrift::patbank
