// A downloaded style's data (<id>.dat in the user's style folder).
//
//   0 "MDSD"   4 uint32 version (1)   8 int32 style id   12 int32 revision
//   16 uint32 data size   20 uint32 CRC-32 of all other bytes   24 data
// All integers little-endian; the file is exactly 24 + data size bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace melodrift::patbank {

constexpr size_t kDataFileHeader = 24;

struct DataFileHeader {
    int32_t id = 0;
    int32_t revision = 0;
    uint32_t size = 0;
    uint32_t crc = 0;
};

std::vector<uint8_t> serializeDataFile(int32_t id, int32_t revision, std::span<const uint8_t> data);

// Reads and checks the header alone; fileSize is the whole file's size.
std::optional<DataFileHeader> parseDataFileHeader(std::span<const uint8_t> head, uint64_t fileSize,
                                                  std::string* why);

// Checks the whole file, the checksum included, and returns the data.
std::optional<std::vector<uint8_t>> parseDataFile(std::span<const uint8_t> bytes, int32_t expectedId,
                                                  std::string* why);

} // namespace melodrift::patbank
