// The C boundary: one process-wide store behind a lock, since the composer
// (GUI thread) and the online client (its service thread) call concurrently.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MelodriftPlatform.h"
#include "Patbank.h"
#include "core/StyleStore.h"

namespace {

struct Globals {
    std::mutex lock;
    std::unique_ptr<melodrift::patbank::StyleStore> store;
    // Stores replaced by SF_Initialize: their data buffers may still be held.
    std::vector<std::unique_ptr<melodrift::patbank::StyleStore>> retired;
    std::string userRoot; // empty: the platform's user data folder
    int32_t edition = 0;
};

Globals& globals()
{
    static Globals g;
    return g;
}

std::string userDataDir()
{
    std::string dir(MDP_UserDataDir(nullptr, 0) + 1, '\0');
    dir.resize(MDP_UserDataDir(dir.data(), dir.size()));
    return dir;
}

// Shipped styles sit beside the libraries in a build, under share/ in an install.
std::string libraryStyles()
{
    return std::string(MDP_DataDir()) + "/styles";
}

melodrift::patbank::StyleStore& openStore(Globals& g)
{
    if (!g.store) {
        const std::string root = g.userRoot.empty() ? userDataDir() : g.userRoot;
        g.store = std::make_unique<melodrift::patbank::StyleStore>(libraryStyles(), root + "/styles");
        g.store->open();
    }
    return *g.store;
}

// Runs body on the open store under the lock; any exception becomes -1.
template <typename Body>
int32_t withStore(Body body)
{
    try {
        Globals& g = globals();
        std::lock_guard guard(g.lock);
        return body(openStore(g));
    } catch (...) {
        return -1;
    }
}

int32_t copyOut(const std::vector<tagStyleInfo>& styles, int32_t* count, tagStyleInfo* infos)
{
    if (infos == nullptr) {
        *count = static_cast<int32_t>(styles.size());
        return 0;
    }
    const size_t n = std::min<size_t>(styles.size(), static_cast<size_t>(std::max(*count, 0)));
    std::copy_n(styles.begin(), n, infos);
    *count = static_cast<int32_t>(n);
    return 0;
}

int32_t giveIds(const std::vector<int32_t>& ids, int32_t capacity, int32_t* outCount, int32_t* outIds)
{
    const size_t n = std::min<size_t>(ids.size(), static_cast<size_t>(capacity));
    std::copy_n(ids.begin(), n, outIds);
    *outCount = static_cast<int32_t>(n);
    return 0;
}

} // namespace

MELODRIFT_API int32_t SF_GetInfo(int32_t styleId, tagStyleInfo* info)
{
    if (styleId <= 0 || info == nullptr)
        return -1;
    return withStore([&](melodrift::patbank::StyleStore& s) {
        auto rec = s.info(styleId);
        if (!rec)
            return -1;
        *info = *rec;
        return 0;
    });
}

MELODRIFT_API int32_t SF_GetData(int32_t styleId, const uint8_t** data, int32_t* size)
{
    if (styleId <= 0 || data == nullptr || size == nullptr)
        return -1;
    return withStore([&](melodrift::patbank::StyleStore& s) {
        const std::vector<uint8_t>* bytes = s.data(styleId);
        if (bytes == nullptr)
            return -1;
        *data = bytes->data();
        *size = static_cast<int32_t>(bytes->size());
        return 0;
    });
}

MELODRIFT_API int32_t SF_GetTSInfos(int32_t selector, int32_t* count, tagStyleInfo* infos)
{
    if (selector == -1)
        selector = SF_SELECT(SF_ALL_METRES, 0);
    const int32_t metre = selector & 0xFF;
    const uint32_t mask = (static_cast<uint32_t>(selector) >> 8) & 0x3FFu;
    if (count == nullptr || (metre > 3 && metre != SF_ALL_METRES) || (static_cast<uint32_t>(selector) >> 18) != 0)
        return -1;
    return withStore([&](melodrift::patbank::StyleStore& s) {
        return copyOut(s.stylesOfMetre(metre == SF_ALL_METRES ? -1 : metre, mask), count, infos);
    });
}

MELODRIFT_API int32_t SF_GetRecomInfos(int32_t metre, int32_t* count, tagStyleInfo* infos)
{
    if (count == nullptr || metre < 0 || metre > 3)
        return -1;
    if (infos != nullptr && *count <= 0)
        *count = SF_RECOM_MAX;
    return withStore([&](melodrift::patbank::StyleStore& s) { return copyOut(s.recommended(metre, SF_RECOM_MAX), count, infos); });
}

MELODRIFT_API int32_t SF_Initialize(int32_t edition, const char* folder)
{
    try {
        Globals& g = globals();
        std::lock_guard guard(g.lock);
        const std::string root = folder != nullptr ? folder : "";
        // A store whose downloads could never be kept is refused before the
        // open one is given up.
        const std::string styles = (root.empty() ? userDataDir() : root) + "/styles";
        std::error_code ec;
        std::filesystem::create_directories(styles, ec);
        if (!std::filesystem::is_directory(styles, ec))
            return -1;
        g.edition = edition;
        if (!g.store || root != g.userRoot) {
            g.userRoot = root;
            if (g.store)
                g.retired.push_back(std::move(g.store));
            openStore(g);
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

MELODRIFT_API int32_t SF_GetUpdateDate(void)
{
    const int32_t stamp = withStore([](melodrift::patbank::StyleStore& s) { return s.updateStamp(); });
    return stamp;
}

MELODRIFT_API int32_t SF_UpdateIDlist(int32_t count, const tagStyleListItem* items, int32_t* outCount, int32_t* outIds)
{
    // Checked before anything is stored, so a refusal leaves the store as it was.
    if (outCount == nullptr || count < 0 || (count > 0 && (items == nullptr || outIds == nullptr)))
        return -1;
    *outCount = 0;
    return withStore([&](melodrift::patbank::StyleStore& s) {
        if (count == 0)
            return s.clearList() ? 0 : -1;
        std::vector<int32_t> need;
        if (!s.mergeList({items, static_cast<size_t>(count)}, need))
            return -1;
        return giveIds(need, count, outCount, outIds);
    });
}

MELODRIFT_API int32_t SF_UpdateDetail(int32_t styleId, const tagStyleInfo* info)
{
    if (styleId <= 0 || info == nullptr)
        return -1;
    return withStore([&](melodrift::patbank::StyleStore& s) { return s.storeDetail(styleId, *info) ? 0 : -1; });
}

MELODRIFT_API int32_t SF_SetUpdateDate(int32_t stamp)
{
    return withStore([&](melodrift::patbank::StyleStore& s) { return s.setUpdateStamp(stamp) ? 0 : -1; });
}

MELODRIFT_API int32_t SF_UpdateRecomlist(int32_t count, const int32_t* ids, int32_t* outCount, int32_t* outIds)
{
    if (outCount == nullptr || count < 0 || (count > 0 && (ids == nullptr || outIds == nullptr)))
        return -1;
    *outCount = 0;
    return withStore([&](melodrift::patbank::StyleStore& s) {
        std::vector<int32_t> need;
        if (!s.storeRecommended({ids, static_cast<size_t>(count)}, need))
            return -1;
        return giveIds(need, count, outCount, outIds);
    });
}

MELODRIFT_API int32_t SF_UpdateData(int32_t styleId, int32_t size, const void* data)
{
    if (styleId <= 0 || size <= 0 || data == nullptr)
        return -1;
    return withStore([&](melodrift::patbank::StyleStore& s) {
        return s.storeData(styleId, {static_cast<const uint8_t*>(data), static_cast<size_t>(size)}) ? 0 : -1;
    });
}

MELODRIFT_API int32_t SF_GetStyleNums(int32_t* online, int32_t* local)
{
    return withStore([&](melodrift::patbank::StyleStore& s) {
        if (online != nullptr)
            *online = s.onlineCount();
        if (local != nullptr)
            *local = s.localCount();
        return 0;
    });
}

MELODRIFT_API int32_t SF_Release(void)
{
    Globals& g = globals();
    std::lock_guard guard(g.lock);
    g.store.reset();
    g.retired.clear();
    return 0;
}
