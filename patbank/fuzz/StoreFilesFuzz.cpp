// Every file the store reads from disk, fed the same bytes: the shipped style
// file, a downloaded data file, the store index and a data stream.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/DataFile.h"
#include "core/StoreIndex.h"
#include "core/StyleDataCheck.h"
#include "core/StyleFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    melodrift::patbank::parseStyleFile(bytes, nullptr);
    melodrift::patbank::parseStoreIndex(bytes, nullptr);
    // The id the file claims, so a well-formed header reaches the checksum.
    const int32_t id = size >= 12 ? static_cast<int32_t>(data[8] | data[9] << 8 | data[10] << 16 | uint32_t(data[11]) << 24) : 1;
    melodrift::patbank::parseDataFile(bytes, id, nullptr);
    melodrift::patbank::parseDataFileHeader(bytes.first(size < 24 ? size : 24), size, nullptr);
    melodrift::patbank::checkStyleData(bytes, nullptr);
    return 0;
}
