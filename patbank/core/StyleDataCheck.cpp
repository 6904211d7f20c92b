#include "StyleDataCheck.h"

#include <cstring>
#include <zlib.h>

#include "Patbank.h"

namespace melodrift::patbank {

namespace {

template <typename T>
T fail(std::string* why, const char* text, T value)
{
    if (why != nullptr)
        *why = text;
    return value;
}

} // namespace

std::optional<std::vector<uint8_t>> inflateStyleData(std::span<const uint8_t> stream, std::string* why)
{
    if (stream.empty() || stream.size() > 0x7fffffffu)
        return fail(why, "empty or oversized stream", std::nullopt);
    // One byte of room beyond the limit tells "too large" apart from "exactly full".
    std::vector<uint8_t> out(SF_DATA_MAX + 1);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return fail(why, "inflate init failed", std::nullopt);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const size_t produced = out.size() - z.avail_out;
    const bool allInput = z.avail_in == 0;
    inflateEnd(&z);
    if (rc != Z_STREAM_END)
        return fail(why, produced > SF_DATA_MAX ? "inflates beyond the limit" : "broken zlib stream", std::nullopt);
    if (produced > SF_DATA_MAX)
        return fail(why, "inflates beyond the limit", std::nullopt);
    if (!allInput)
        return fail(why, "bytes after the zlib stream", std::nullopt);
    out.resize(produced);
    return out;
}

bool checkStyleData(std::span<const uint8_t> stream, std::string* why)
{
    auto block = inflateStyleData(stream, why);
    if (!block)
        return false;
    if (block->size() < 16 || std::memcmp(block->data(), "KRV", 3) != 0)
        return fail(why, "no KRV block", false);
    const uint8_t* p = block->data() + 4;
    const uint64_t body = uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
    if (body + 8 > block->size())
        return fail(why, "body length beyond the block", false);
    return true;
}

} // namespace melodrift::patbank
