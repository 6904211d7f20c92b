#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace melodrift::service {

struct PublishedStyle {
    int32_t id = 0;
    std::vector<uint8_t> detail; // the wire form of the detail block
    std::vector<uint8_t> data;   // the zlib stream
};

// Reads one style file of the style library ("MDSF" header, 1800-byte info
// record, zlib data, CRC-32 over both); nothing when it is not one.
std::optional<PublishedStyle> ReadStyleFile(const std::vector<uint8_t>& bytes, std::string* why);

// Turns the detail block of an info record (its bytes 20..1799) into the
// wire form the client parses; nothing when the block cannot be expressed.
std::optional<std::vector<uint8_t>> EncodeDetail(const uint8_t* info1800);

// Every "*.mds" file of a folder, in name order; unreadable ones are listed
// in skipped.
std::vector<PublishedStyle> ReadStyleFolder(const std::string& folder, std::vector<std::string>& skipped);

} // namespace melodrift::service
