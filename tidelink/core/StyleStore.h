#pragma once

#include "Patbank.h"

#include <memory>
#include <string>

namespace melodrift::tidelink {

// What the service needs of the style store; the library binds Patbank,
// tests give their own.
class StyleStore {
public:
    virtual ~StyleStore() = default;
    virtual int32_t GetUpdateDate() = 0;
    virtual int32_t UpdateIDlist(int32_t count, const tagStyleListItem* items, int32_t* outCount, int32_t* outIds) = 0;
    virtual int32_t UpdateDetail(int32_t styleId, const tagStyleInfo* info) = 0;
    virtual int32_t SetUpdateDate(int32_t stamp) = 0;
    virtual int32_t UpdateRecomlist(int32_t count, const int32_t* ids, int32_t* outCount, int32_t* outIds) = 0;
    virtual int32_t UpdateData(int32_t styleId, int32_t size, const void* data) = 0;
    virtual int32_t GetStyleNums(int32_t* online, int32_t* local) = 0;
};

// Loads "Patbank.dll", binds its nine entry points and initialises it;
// nullptr (with the log lines) when any step fails. Released and unloaded
// when destroyed.
std::unique_ptr<StyleStore> LoadPatbank(int32_t edition, const std::string& folder);

} // namespace melodrift::tidelink
