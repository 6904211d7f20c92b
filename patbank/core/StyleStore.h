// The style store behind the SF_ entry points: the shipped library (read
// only) and the user's store of what the service sent (list, details,
// recommended list, stamp and downloaded data). Not thread-safe; the C layer
// serialises calls.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Patbank.h"

namespace melodrift::patbank {

class StyleStore {
public:
    // libraryFolder holds the shipped <id>.mds files; userFolder the index
    // and the downloaded <id>.dat files (created when missing).
    StyleStore(std::string libraryFolder, std::string userFolder);

    // Reads both folders. Broken files are logged and skipped; a broken index
    // is set aside as catalog.idx.bad and the store starts empty.
    void open();

    std::optional<tagStyleInfo> info(int32_t id) const;
    // The compressed data, checked again on every load from disk; the
    // buffer lives as long as the store, even when replaced.
    const std::vector<uint8_t>* data(int32_t id);
    // metre 0..3 or -1 for all; categoryMask as SF_SELECT's (0: all).
    // Shipped styles by id, then the others by id.
    std::vector<tagStyleInfo> stylesOfMetre(int32_t metre, uint32_t categoryMask = 0) const;
    std::vector<tagStyleInfo> recommended(int32_t metre, size_t max) const;

    int32_t updateStamp() const { return m_user.stamp; }
    int32_t onlineCount() const { return static_cast<int32_t>(m_user.list.size()); }
    int32_t localCount() const;

    // Each update writes the index before it takes effect: false means
    // nothing changed, in memory or on disk.
    bool setUpdateStamp(int32_t stamp);
    bool mergeList(std::span<const tagStyleListItem> items, std::vector<int32_t>& needDetails);
    bool clearList();
    bool storeDetail(int32_t id, const tagStyleInfo& record);
    bool storeRecommended(std::span<const int32_t> ids, std::vector<int32_t>& needData);
    bool storeData(int32_t id, std::span<const uint8_t> stream);

private:
    struct UserState {
        int32_t stamp = 0;
        std::map<int32_t, tagStyleListItem> list;
        std::map<int32_t, tagStyleInfo> details;
        std::vector<int32_t> recommended;
    };
    using Buffer = std::shared_ptr<const std::vector<uint8_t>>;

    void scanLibrary();
    void readUserIndex();
    void scanDownloads();
    bool commit(UserState next);
    bool installed(int32_t id) const;
    bool isDownloaded(int32_t id) const;
    std::optional<std::vector<uint8_t>> loadData(int32_t id) const;
    std::string indexPath() const;
    std::string dataPath(int32_t id) const;

    std::string m_libraryFolder;
    std::string m_userFolder;
    std::map<int32_t, tagStyleInfo> m_library;
    std::map<int32_t, std::string> m_libraryPaths;
    UserState m_user;
    std::map<int32_t, int32_t> m_downloaded; // id -> revision of the stored data
    std::map<int32_t, Buffer> m_dataCache;
    std::vector<Buffer> m_retired;
};

} // namespace melodrift::patbank
