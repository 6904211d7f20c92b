#include "DetailParser.h"

#include "Wire.h"

#include <cstring>

namespace melodrift::tidelink {

namespace {

constexpr size_t kBlock = 20; // block offset 0 within the record
constexpr size_t kGroupsOffset = 244;
constexpr size_t kEntryBytes = 48;
constexpr size_t kEntries = (kDetailBlockSize - kGroupsOffset) / kEntryBytes; // 32
constexpr size_t kGroupsPerEntry = 16;

bool ReadCounted(ByteReader& in, uint8_t* to, size_t capacity, bool terminate)
{
    uint8_t n = 0;
    const uint8_t* bytes = nullptr;
    if (!in.UInt8(n) || n > capacity || !in.Bytes(n, bytes))
        return false;
    std::memcpy(to, bytes, n);
    if (terminate)
        to[n] = 0;
    return true;
}

bool ReadEntries(ByteReader& in, uint8_t* block, int kind, int count)
{
    for (int j = 0; j < count; ++j) {
        size_t entry = size_t(8 * kind + j);
        uint8_t groups = 0;
        const uint8_t* bytes = nullptr;
        if (entry >= kEntries || !in.UInt8(groups) || groups > kGroupsPerEntry || !in.Bytes(3u * groups, bytes))
            return false;
        std::memcpy(block + kGroupsOffset + kEntryBytes * entry, bytes, 3u * groups);
    }
    return true;
}

} // namespace

void ResetDetailBlock(StyleInfoRecord& record)
{
    uint8_t* block = record.data() + kBlock;
    std::memset(block, 0, kDetailBlockSize);
    PutInt32(block, int32_t(kDetailBlockSize));
    PutInt32(block + 236, -1);
    PutInt32(block + 240, -1);
    std::memset(block + kGroupsOffset, 0xFF, kDetailBlockSize - kGroupsOffset);
}

bool ParseDetail(const uint8_t* data, size_t size, StyleInfoRecord& record)
{
    uint8_t* block = record.data() + kBlock;
    ByteReader in(data, size);
    const uint8_t* head = nullptr;
    if (!in.Bytes(20, head))
        return false;
    std::memcpy(block, head, 20);
    if (!ReadCounted(in, block + 20, 39, true) || !ReadCounted(in, block + 60, 39, true) ||
        !ReadCounted(in, block + 100, 119, true))
        return false;
    if (!ReadCounted(in, block + 220, 8, false) || !ReadCounted(in, block + 228, 8, false) ||
        !ReadCounted(in, block + 236, 8, false))
        return false;
    for (int kind = 0; kind < 4; ++kind) {
        int count = block[16 + kind] * (kind >= 2 ? 2 : 1);
        if (!ReadEntries(in, block, kind, count))
            return false;
    }
    return in.Remaining() == 0;
}

} // namespace melodrift::tidelink
