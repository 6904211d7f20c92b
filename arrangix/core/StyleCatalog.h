#pragma once

#include "DecodedStyle.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace melodrift::arrangix {

using StyleInfo = std::array<uint8_t, 1800>;

// Where decoded styles come from while planning and rendering.
class StyleSource {
public:
    virtual ~StyleSource() = default;
    virtual std::shared_ptr<DecodedStyle> style(int32_t id, bool load) = 0;
};

// The style store's two reading entry points.
struct StoreAccess {
    std::function<int32_t(int32_t id, void* record)> getInfo;
    std::function<int32_t(int32_t id, const uint8_t** data, int32_t* size)> getData;
};

// The info cache (32 records) and the style cache (8 decoded styles), both
// evicting the oldest entry first. Decoded styles are shared so that one in
// use by a render survives its eviction.
class StyleCatalog : public StyleSource {
public:
    static constexpr size_t kInfoCapacity = 32;
    static constexpr size_t kStyleCapacity = 8;

    explicit StyleCatalog(StoreAccess store = {}) : store_(std::move(store)) {}

    void setStore(StoreAccess store) { store_ = std::move(store); }
    void clear();

    const StyleInfo* info(int32_t id);
    std::shared_ptr<DecodedStyle> style(int32_t id, bool load) override;

    int32_t segmentCount(int32_t code, int32_t id);
    int32_t segmentBars(int32_t code, int32_t id);

private:
    StoreAccess store_;
    std::vector<std::unique_ptr<StyleInfo>> infos_;
    std::vector<std::shared_ptr<DecodedStyle>> styles_;
};

// Initial state of an info record before the store fills it.
StyleInfo blankStyleInfo();

} // namespace melodrift::arrangix
