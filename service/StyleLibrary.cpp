#include "StyleLibrary.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace melodrift::service {

namespace {

constexpr size_t kHeader = 20;
constexpr size_t kInfo = 1800;
constexpr size_t kMaxData = 4u << 20;

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void Counted(std::vector<uint8_t>& out, const uint8_t* field, size_t capacity)
{
    size_t n = strnlen(reinterpret_cast<const char*>(field), capacity);
    out.push_back(uint8_t(n));
    out.insert(out.end(), field, field + n);
}

} // namespace

std::optional<std::vector<uint8_t>> EncodeDetail(const uint8_t* info)
{
    const uint8_t* block = info + 20;
    std::vector<uint8_t> out(block, block + 20);
    Counted(out, block + 20, 39);
    Counted(out, block + 60, 39);
    Counted(out, block + 100, 119);
    for (size_t at : {size_t(220), size_t(228), size_t(236)}) {
        out.push_back(8);
        out.insert(out.end(), block + at, block + at + 8);
    }
    for (int kind = 0; kind < 4; ++kind) {
        int count = block[16 + kind] * (kind >= 2 ? 2 : 1);
        for (int j = 0; j < count; ++j) {
            size_t entry = size_t(8 * kind + j);
            if (entry >= 32)
                return std::nullopt;
            const uint8_t* groups = block + 244 + 48 * entry;
            uint8_t used = 0;
            while (used < 16 && !(groups[3 * used] == 0xFF && groups[3 * used + 1] == 0xFF && groups[3 * used + 2] == 0xFF))
                ++used;
            out.push_back(used);
            out.insert(out.end(), groups, groups + 3 * used);
        }
    }
    return out;
}

std::optional<PublishedStyle> ReadStyleFile(const std::vector<uint8_t>& bytes, std::string* why)
{
    auto fail = [why](const char* reason) {
        if (why != nullptr)
            *why = reason;
        return std::nullopt;
    };
    if (bytes.size() < kHeader + kInfo || std::memcmp(bytes.data(), "MDSF", 4) != 0)
        return fail("not a style file");
    uint32_t infoSize = Le32(bytes.data() + 8), dataSize = Le32(bytes.data() + 12), crc = Le32(bytes.data() + 16);
    if (infoSize != kInfo || dataSize > kMaxData || bytes.size() != kHeader + kInfo + dataSize)
        return fail("sizes do not match");
    const uint8_t* body = bytes.data() + kHeader;
    if (uint32_t(::crc32(0L, body, uInt(kInfo + dataSize))) != crc)
        return fail("checksum does not match");
    auto detail = EncodeDetail(body);
    if (!detail)
        return fail("segment counts do not fit a detail block");
    PublishedStyle style;
    style.id = int32_t(Le32(body));
    if (style.id <= 0)
        return fail("style id is not positive");
    style.detail = std::move(*detail);
    style.data.assign(body + kInfo, body + kInfo + dataSize);
    return style;
}

std::vector<PublishedStyle> ReadStyleFolder(const std::string& folder, std::vector<std::string>& skipped)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".mds")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<PublishedStyle> styles;
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string why;
        if (auto style = ReadStyleFile(bytes, &why))
            styles.push_back(std::move(*style));
        else
            skipped.push_back(path.filename().string() + ": " + why);
    }
    return styles;
}

} // namespace melodrift::service
