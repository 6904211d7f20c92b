#include "StyleCatalog.h"

#include "Log.h"
#include "StyleDecoder.h"

#include <cstring>

namespace melodrift::arrangix {

namespace {

void putInt32(StyleInfo& r, size_t at, int32_t v)
{
    std::memcpy(r.data() + at, &v, 4);  // little-endian host
}

int32_t readInt32(const StyleInfo& r, size_t at)
{
    int32_t v;
    std::memcpy(&v, r.data() + at, 4);
    return v;
}

int kindOfCode(int32_t code)
{
    return code < 256 ? kMain : code < 272 ? kIntro : kOutro;
}

}  // namespace

StyleInfo blankStyleInfo()
{
    StyleInfo r{};
    putInt32(r, 20, 1780);
    std::memset(r.data() + 32, 0xFF, 4);
    putInt32(r, 256, -1);
    putInt32(r, 260, -1);
    std::memset(r.data() + 264, 0xFF, 512 * 3);
    return r;
}

void StyleCatalog::clear()
{
    infos_.clear();
    styles_.clear();
}

const StyleInfo* StyleCatalog::info(int32_t id)
{
    for (const auto& r : infos_)
        if (readInt32(*r, 0) == id)
            return r.get();
    if (id <= 0 || !store_.getInfo)
        return nullptr;
    auto record = std::make_unique<StyleInfo>(blankStyleInfo());
    if (store_.getInfo(id, record->data()) != 0)
        return nullptr;
    if (infos_.size() >= kInfoCapacity)
        infos_.erase(infos_.begin());
    infos_.push_back(std::move(record));
    return infos_.back().get();
}

std::shared_ptr<DecodedStyle> StyleCatalog::style(int32_t id, bool load)
{
    for (const auto& s : styles_)
        if (s->id == id)
            return s;
    if (!load || id <= 0 || !store_.getData)
        return nullptr;
    const uint8_t* data = nullptr;
    int32_t size = 0;
    if (store_.getData(id, &data, &size) < 0 || data == nullptr || size < 0) {
        log("SF_GetData ret error.\n");
        return nullptr;
    }
    log("Decode style %d.\n", id);
    auto decoded = StyleDecoder::decode(std::span<const uint8_t>(data, static_cast<size_t>(size)), id);
    if (decoded.error != 0 || !decoded.style)
        return nullptr;
    if (styles_.size() >= kStyleCapacity)
        styles_.erase(styles_.begin());
    styles_.push_back(decoded.style);
    return decoded.style;
}

int32_t StyleCatalog::segmentCount(int32_t code, int32_t id)
{
    if (code < 0)
        return -1;
    int kind = kindOfCode(code);
    if (auto s = style(id, false))
        return static_cast<int32_t>(s->segments[kind].size());
    const StyleInfo* r = info(id);
    return r != nullptr ? (*r)[36 + kind] : -1;
}

// The info record has room for ids 0..7 of each kind; higher ids have no
// stored bar count and read as absent.
int32_t StyleCatalog::segmentBars(int32_t code, int32_t id)
{
    if (code < 256)
        return -1;
    int kind = kindOfCode(code);
    int segId = code - (kind == kIntro ? 256 : 272);
    if (auto s = style(id, false)) {
        const StyleSegment* seg = s->find(kind, segId);
        if (seg == nullptr)
            return 0;
        int32_t bar = s->barLength();
        return (seg->length + bar - 1) / bar;
    }
    const StyleInfo* r = info(id);
    if (r == nullptr)
        return -1;
    if (segId > 7)
        return 0;
    return (*r)[(kind == kIntro ? 240 : 248) + segId];
}

} // namespace melodrift::arrangix
