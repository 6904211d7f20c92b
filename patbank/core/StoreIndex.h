// The user's store index (catalog.idx in the user's style folder): what the
// service told us, kept across runs.
//
//   0 "MDSC"   4 uint32 version (1)   8 int32 update stamp
//   12 uint32 list count   16 uint32 detail count   20 uint32 recommended count
//   24 uint32 CRC-32 of all other bytes of the file
//   28 list entries (16 bytes each), detail records (1800 bytes each),
//      recommended ids (int32 each)
// All integers little-endian; the file holds exactly what the counts say.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Patbank.h"

namespace melodrift::patbank {

constexpr size_t kStoreIndexHeader = 28;

struct StoreIndex {
    int32_t updateStamp = 0;
    std::vector<tagStyleListItem> list;
    std::vector<tagStyleInfo> details;
    std::vector<int32_t> recommended;
};

std::vector<uint8_t> serializeStoreIndex(const StoreIndex& index);

// Checks sizes, checksum, every record (positive unique ids, valid details)
// and the recommended ids; *why says what was wrong.
std::optional<StoreIndex> parseStoreIndex(std::span<const uint8_t> bytes, std::string* why);

} // namespace melodrift::patbank
