// What the online client hands the store. Every change is made on a copy of
// the user's state, written durably, and only then takes effect.
#include <algorithm>
#include <set>

#include "DataFile.h"
#include "FileIO.h"
#include "InfoRecord.h"
#include "MelodriftPlatform.h"
#include "StoreIndex.h"
#include "StyleDataCheck.h"
#include "StyleFile.h"
#include "StyleStore.h"

namespace melodrift::patbank {

bool StyleStore::commit(UserState next)
{
    StoreIndex index;
    index.updateStamp = next.stamp;
    for (const auto& entry : next.list)
        index.list.push_back(entry.second);
    for (const auto& entry : next.details)
        index.details.push_back(entry.second);
    index.recommended = next.recommended;
    if (!writeFileDurably(indexPath(), serializeStoreIndex(index))) {
        MDP_DebugOutput("Style index %s could not be written.\n", indexPath().c_str());
        return false;
    }
    m_user = std::move(next);
    return true;
}

bool StyleStore::setUpdateStamp(int32_t stamp)
{
    UserState next = m_user;
    next.stamp = stamp;
    return commit(std::move(next));
}

bool StyleStore::mergeList(std::span<const tagStyleListItem> items, std::vector<int32_t>& needDetails)
{
    UserState next = m_user;
    for (const auto& item : items)
        if (item.id > 0)
            next.list[item.id] = item;
    std::set<int32_t> listed;
    needDetails.clear();
    for (const auto& item : items) {
        if (item.id <= 0 || !listed.insert(item.id).second)
            continue;
        auto det = next.details.find(item.id);
        if (det == next.details.end() || det->second.revision != next.list[item.id].revision)
            needDetails.push_back(item.id);
    }
    if (!commit(std::move(next))) {
        needDetails.clear();
        return false;
    }
    return true;
}

bool StyleStore::clearList()
{
    UserState next = m_user;
    next.list.clear();
    return commit(std::move(next));
}

bool StyleStore::storeDetail(int32_t id, const tagStyleInfo& record)
{
    tagStyleInfo rec = record;
    rec.id = id;
    rec.revision = rec.dataSize = rec.listReserved = 0;
    if (auto item = m_user.list.find(id); item != m_user.list.end()) {
        rec.revision = item->second.revision;
        rec.dataSize = item->second.dataSize;
        rec.listReserved = item->second.reserved;
    }
    rec.state = SF_STATE_ONLINE;
    std::string why;
    if (!checkInfo(rec, &why)) {
        MDP_DebugOutput("Style %d details refused: %s.\n", id, why.c_str());
        return false;
    }
    UserState next = m_user;
    next.details[id] = rec;
    return commit(std::move(next));
}

bool StyleStore::storeRecommended(std::span<const int32_t> ids, std::vector<int32_t>& needData)
{
    UserState next = m_user;
    next.recommended.clear();
    std::set<int32_t> seen;
    for (int32_t id : ids)
        if (id > 0 && seen.insert(id).second)
            next.recommended.push_back(id);
    if (!commit(std::move(next)))
        return false;
    needData.clear();
    for (int32_t id : m_user.recommended) {
        if (m_library.count(id) != 0 && m_downloaded.count(id) == 0)
            continue;
        auto have = m_downloaded.find(id);
        auto item = m_user.list.find(id);
        const bool current = have != m_downloaded.end()
            && (item == m_user.list.end() || item->second.revision == have->second);
        if (!current)
            needData.push_back(id);
    }
    return true;
}

bool StyleStore::storeData(int32_t id, std::span<const uint8_t> stream)
{
    std::string why;
    if (stream.size() > kMaxCompressedData || !checkStyleData(stream, &why)) {
        MDP_DebugOutput("Style %d data refused: %s.\n", id, why.empty() ? "too large" : why.c_str());
        return false;
    }
    int32_t revision = 0;
    if (auto item = m_user.list.find(id); item != m_user.list.end())
        revision = item->second.revision;
    else if (auto det = m_user.details.find(id); det != m_user.details.end())
        revision = det->second.revision;
    if (!writeFileDurably(dataPath(id), serializeDataFile(id, revision, stream))) {
        MDP_DebugOutput("Style data %s could not be written.\n", dataPath(id).c_str());
        return false;
    }
    m_downloaded[id] = revision;
    // A caller may still hold the old buffer: keep it until the store goes.
    if (auto old = m_dataCache.find(id); old != m_dataCache.end()) {
        m_retired.push_back(old->second);
        m_dataCache.erase(old);
    }
    return true;
}

} // namespace melodrift::patbank
