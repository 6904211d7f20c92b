#include "StyleFile.h"

#include <cstring>
#include <zlib.h>

#include "ByteReader.h"
#include "InfoRecord.h"

namespace melodrift::patbank {

namespace {

constexpr char kMagic[4] = {'M', 'D', 'S', 'F'};
constexpr size_t kCrcOffset = 16;

// Covers the info record and the data; every header field is checked by value.
uint32_t checksum(std::span<const uint8_t> file)
{
    const auto body = file.subspan(kStyleFileHeader);
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), body.data(), static_cast<uInt>(body.size())));
}

std::optional<StyleFileContents> fail(std::string* why, const char* text)
{
    if (why != nullptr)
        *why = text;
    return std::nullopt;
}

} // namespace

std::vector<uint8_t> serializeStyleFile(const tagStyleInfo& info, std::span<const uint8_t> data)
{
    std::vector<uint8_t> out;
    out.reserve(kStyleFileHeader + sizeof info + data.size());
    putRaw(out, kMagic, sizeof kMagic);
    putU32(out, kStyleFileVersion);
    putU32(out, SF_INFO_SIZE);
    putU32(out, static_cast<uint32_t>(data.size()));
    putU32(out, 0);
    putRaw(out, &info, sizeof info);
    putRaw(out, data.data(), data.size());
    const uint32_t crc = checksum(out);
    for (int i = 0; i < 4; ++i)
        out[kCrcOffset + i] = static_cast<uint8_t>(crc >> (8 * i));
    return out;
}

std::optional<StyleFileContents> parseStyleFile(std::span<const uint8_t> bytes, std::string* why)
{
    ByteReader in(bytes);
    char magic[4];
    uint32_t version = 0, infoSize = 0, dataSize = 0, crc = 0;
    if (!in.raw(magic, 4) || !in.u32(version) || !in.u32(infoSize) || !in.u32(dataSize) || !in.u32(crc))
        return fail(why, "truncated header");
    if (std::memcmp(magic, kMagic, 4) != 0)
        return fail(why, "not a style file");
    if (version != kStyleFileVersion)
        return fail(why, "unknown version");
    if (infoSize != SF_INFO_SIZE)
        return fail(why, "wrong info size");
    if (dataSize == 0 || dataSize > kMaxCompressedData || in.remaining() != SF_INFO_SIZE + size_t(dataSize))
        return fail(why, "wrong data size");
    StyleFileContents out;
    std::span<const uint8_t> data;
    in.raw(&out.info, sizeof out.info);
    in.take(dataSize, data);
    if (checksum(bytes) != crc)
        return fail(why, "checksum mismatch");
    if (!checkInfo(out.info, why))
        return std::nullopt;
    out.data.assign(data.begin(), data.end());
    return out;
}

} // namespace melodrift::patbank
