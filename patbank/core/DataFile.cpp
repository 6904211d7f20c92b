#include "DataFile.h"

#include <cstring>
#include "ByteReader.h"
#include "Checksum.h"
#include "StyleFile.h"

namespace melodrift::patbank {

namespace {

constexpr char kMagic[4] = {'M', 'D', 'S', 'D'};
constexpr uint32_t kVersion = 1;

template <typename T>
std::optional<T> fail(std::string* why, const char* text)
{
    if (why != nullptr)
        *why = text;
    return std::nullopt;
}

} // namespace

std::vector<uint8_t> serializeDataFile(int32_t id, int32_t revision, std::span<const uint8_t> data)
{
    std::vector<uint8_t> out;
    out.reserve(kDataFileHeader + data.size());
    putRaw(out, kMagic, sizeof kMagic);
    putU32(out, kVersion);
    putU32(out, static_cast<uint32_t>(id));
    putU32(out, static_cast<uint32_t>(revision));
    putU32(out, static_cast<uint32_t>(data.size()));
    putU32(out, 0);
    putRaw(out, data.data(), data.size());
    storeChecksum(out, 20);
    return out;
}

std::optional<DataFileHeader> parseDataFileHeader(std::span<const uint8_t> head, uint64_t fileSize,
                                                  std::string* why)
{
    ByteReader in(head);
    char magic[4];
    uint32_t version = 0;
    DataFileHeader h;
    if (!in.raw(magic, 4) || !in.u32(version) || !in.i32(h.id) || !in.i32(h.revision) || !in.u32(h.size)
        || !in.u32(h.crc))
        return fail<DataFileHeader>(why, "truncated header");
    if (std::memcmp(magic, kMagic, 4) != 0)
        return fail<DataFileHeader>(why, "not a data file");
    if (version != kVersion)
        return fail<DataFileHeader>(why, "unknown version");
    if (h.id <= 0)
        return fail<DataFileHeader>(why, "style id not positive");
    if (h.size == 0 || h.size > kMaxCompressedData || fileSize != kDataFileHeader + uint64_t(h.size))
        return fail<DataFileHeader>(why, "wrong data size");
    return h;
}

std::optional<std::vector<uint8_t>> parseDataFile(std::span<const uint8_t> bytes, int32_t expectedId,
                                                  std::string* why)
{
    auto header = parseDataFileHeader(bytes.first(std::min(bytes.size(), kDataFileHeader)), bytes.size(), why);
    if (!header)
        return std::nullopt;
    if (header->id != expectedId)
        return fail<std::vector<uint8_t>>(why, "data of another style");
    auto data = bytes.subspan(kDataFileHeader);
    if (fileChecksum(bytes, 20) != header->crc)
        return fail<std::vector<uint8_t>>(why, "checksum mismatch");
    return std::vector<uint8_t>(data.begin(), data.end());
}

} // namespace melodrift::patbank
