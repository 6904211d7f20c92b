#include "StoreIndex.h"

#include <bit>
#include <cstring>
#include <set>
#include "ByteReader.h"
#include "Checksum.h"
#include "InfoRecord.h"

namespace melodrift::patbank {

// Records are written as they lie in memory; the format is little-endian.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr char kMagic[4] = {'M', 'D', 'S', 'C'};
constexpr uint32_t kVersion = 1;

std::optional<StoreIndex> fail(std::string* why, const std::string& text)
{
    if (why != nullptr)
        *why = text;
    return std::nullopt;
}

// Returns the first problem of the records, or an empty text.
std::string readRecords(ByteReader& in, StoreIndex& out, uint32_t lists, uint32_t details, uint32_t recoms)
{
    std::set<int32_t> seen;
    out.list.resize(lists);
    for (auto& item : out.list) {
        in.raw(&item, sizeof item);
        if (item.id <= 0 || !seen.insert(item.id).second)
            return "bad or repeated list id";
    }
    seen.clear();
    out.details.resize(details);
    for (auto& info : out.details) {
        in.raw(&info, sizeof info);
        std::string why;
        if (!checkInfo(info, &why))
            return "detail record: " + why;
        if (!seen.insert(info.id).second)
            return "repeated detail id";
    }
    out.recommended.resize(recoms);
    for (auto& id : out.recommended) {
        in.i32(id);
        if (id <= 0)
            return "bad recommended id";
    }
    return {};
}

} // namespace

std::vector<uint8_t> serializeStoreIndex(const StoreIndex& index)
{
    std::vector<uint8_t> body;
    for (const auto& item : index.list)
        putRaw(body, &item, sizeof item);
    for (const auto& info : index.details)
        putRaw(body, &info, sizeof info);
    for (int32_t id : index.recommended)
        putU32(body, static_cast<uint32_t>(id));
    std::vector<uint8_t> out;
    out.reserve(kStoreIndexHeader + body.size());
    putRaw(out, kMagic, sizeof kMagic);
    putU32(out, kVersion);
    putU32(out, static_cast<uint32_t>(index.updateStamp));
    putU32(out, static_cast<uint32_t>(index.list.size()));
    putU32(out, static_cast<uint32_t>(index.details.size()));
    putU32(out, static_cast<uint32_t>(index.recommended.size()));
    putU32(out, 0);
    putRaw(out, body.data(), body.size());
    storeChecksum(out, 24);
    return out;
}

std::optional<StoreIndex> parseStoreIndex(std::span<const uint8_t> bytes, std::string* why)
{
    ByteReader in(bytes);
    char magic[4];
    uint32_t version = 0, lists = 0, details = 0, recoms = 0, crc = 0;
    StoreIndex out;
    if (!in.raw(magic, 4) || !in.u32(version) || !in.i32(out.updateStamp) || !in.u32(lists) || !in.u32(details)
        || !in.u32(recoms) || !in.u32(crc))
        return fail(why, "truncated header");
    if (std::memcmp(magic, kMagic, 4) != 0)
        return fail(why, "not a store index");
    if (version != kVersion)
        return fail(why, "unknown version");
    const uint64_t need = uint64_t(lists) * sizeof(tagStyleListItem) + uint64_t(details) * sizeof(tagStyleInfo)
        + uint64_t(recoms) * 4;
    if (need != in.remaining())
        return fail(why, "counts do not match the file size");
    if (fileChecksum(bytes, 24) != crc)
        return fail(why, "checksum mismatch");
    if (std::string problem = readRecords(in, out, lists, details, recoms); !problem.empty())
        return fail(why, problem);
    return out;
}

} // namespace melodrift::patbank
