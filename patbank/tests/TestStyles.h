// Small hand-made styles for the store's tests: info records and data
// streams built directly, without the style compiler.
#pragma once

#include "TempFolder.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

#include "Patbank.h"
#include "core/InfoRecord.h"

namespace melodrift::patbank::test {

inline tagStyleInfo makeInfo(int32_t id, int32_t metre, const char* name, int8_t primary = -1,
                             int8_t secondary = -1, int16_t flags = 0)
{
    tagStyleInfo info = initialInfo();
    info.id = id;
    info.revision = 1;
    info.state = SF_STATE_INSTALLED;
    info.metre = metre;
    info.tempo = 100;
    info.flags = flags;
    info.categories[0] = primary;
    info.categories[1] = secondary;
    std::strncpy(info.name, name, sizeof info.name - 1);
    return info;
}

inline std::vector<uint8_t> zlibOf(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6);
    out.resize(size);
    return out;
}

// A "KRV" block with no segments; `tag` lands in the tempo so streams differ.
inline std::vector<uint8_t> makeBlock(uint8_t tag)
{
    return {'K', 'R', 'V', 1, 0, 0, 0, 12, 0, 24, 8, 4, 4, 0x07, 0xA1, tag, 0, 0, 0, 0};
}

inline std::vector<uint8_t> makeStream(uint8_t tag) { return zlibOf(makeBlock(tag)); }

using TempDir = melodrift::testsupport::TempFolder;


} // namespace melodrift::patbank::test
