#include "StyleStore.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "DataFile.h"
#include "FileIO.h"
#include "InfoRecord.h"
#include "MelodriftPlatform.h"
#include "StoreIndex.h"
#include "StyleFile.h"

namespace melodrift::patbank {

namespace {

// Far beyond any real index (a few thousand styles), small enough to read whole.
constexpr uint64_t kMaxIndexBytes = 64ull << 20;

// The style selection dialog's rule: box j takes primary or secondary
// category j, box 9 everything from 9 up.
bool inCategories(const tagStyleInfo& rec, uint32_t mask)
{
    if (mask == 0)
        return true;
    for (int i = 0; i < 2; ++i) {
        const int code = rec.categories[i];
        if (code >= 0 && (mask & (1u << std::min(code, 9))) != 0)
            return true;
    }
    return false;
}

} // namespace

StyleStore::StyleStore(std::string libraryFolder, std::string userFolder)
    : m_libraryFolder(std::move(libraryFolder)), m_userFolder(std::move(userFolder))
{
}

std::string StyleStore::indexPath() const { return m_userFolder + "/catalog.idx"; }

std::string StyleStore::dataPath(int32_t id) const { return m_userFolder + "/" + std::to_string(id) + ".dat"; }

void StyleStore::open()
{
    std::error_code ec;
    std::filesystem::create_directories(m_userFolder, ec);
    // Temporary files a crash left behind are never the live copy.
    for (const auto& name : listFiles(m_userFolder, ""))
        if (name.find(".tmp-") != std::string::npos)
            std::filesystem::remove(m_userFolder + "/" + name, ec);
    scanLibrary();
    readUserIndex();
    scanDownloads();
}

void StyleStore::scanLibrary()
{
    for (const auto& name : listFiles(m_libraryFolder, ".mds")) {
        const std::string path = m_libraryFolder + "/" + name;
        std::string why = "unreadable";
        auto bytes = readFile(path, kStyleFileHeader + SF_INFO_SIZE + kMaxCompressedData);
        auto style = bytes ? parseStyleFile(*bytes, &why) : std::nullopt;
        if (!style) {
            MDP_DebugOutput("Style file %s skipped: %s.\n", path.c_str(), why.c_str());
            continue;
        }
        if (m_library.count(style->info.id) != 0) {
            MDP_DebugOutput("Style file %s skipped: style %d already loaded.\n", path.c_str(), style->info.id);
            continue;
        }
        style->info.state = SF_STATE_INSTALLED;
        m_library[style->info.id] = style->info;
        m_libraryPaths[style->info.id] = path;
    }
}

void StyleStore::readUserIndex()
{
    const std::string path = indexPath();
    if (!std::filesystem::exists(path))
        return;
    std::string why = "unreadable or too large";
    auto bytes = readFile(path, kMaxIndexBytes);
    auto index = bytes ? parseStoreIndex(*bytes, &why) : std::nullopt;
    if (!index) {
        MDP_DebugOutput("Style index %s set aside: %s.\n", path.c_str(), why.c_str());
        std::error_code ec;
        std::filesystem::rename(path, path + ".bad", ec);
        return;
    }
    m_user.stamp = index->updateStamp;
    for (const auto& item : index->list)
        m_user.list[item.id] = item;
    for (const auto& info : index->details)
        m_user.details[info.id] = info;
    m_user.recommended = index->recommended;
}

void StyleStore::scanDownloads()
{
    for (const auto& name : listFiles(m_userFolder, ".dat")) {
        uint64_t size = 0;
        std::string why = "unreadable";
        auto head = readFileHead(m_userFolder + "/" + name, kDataFileHeader, size);
        auto header = head ? parseDataFileHeader(*head, size, &why) : std::nullopt;
        if (header && name != std::to_string(header->id) + ".dat")
            header.reset(), why = "file name does not match its style";
        if (!header) {
            MDP_DebugOutput("Style data %s/%s skipped: %s.\n", m_userFolder.c_str(), name.c_str(), why.c_str());
            continue;
        }
        m_downloaded[header->id] = header->revision;
    }
}

bool StyleStore::isDownloaded(int32_t id) const
{
    return m_downloaded.count(id) != 0 && m_user.details.count(id) != 0;
}

bool StyleStore::installed(int32_t id) const { return isDownloaded(id) || m_library.count(id) != 0; }

std::optional<tagStyleInfo> StyleStore::info(int32_t id) const
{
    tagStyleInfo out;
    if (isDownloaded(id)) {
        out = m_user.details.at(id);
        out.state = SF_STATE_INSTALLED;
    } else if (auto lib = m_library.find(id); lib != m_library.end()) {
        out = lib->second;
    } else if (auto det = m_user.details.find(id); det != m_user.details.end()) {
        out = det->second;
        out.state = SF_STATE_ONLINE;
    } else {
        return std::nullopt;
    }
    return out;
}

int32_t StyleStore::localCount() const
{
    int32_t n = static_cast<int32_t>(m_library.size());
    for (const auto& [id, revision] : m_downloaded)
        if (m_library.count(id) == 0 && m_user.details.count(id) != 0)
            ++n;
    return n;
}

std::vector<tagStyleInfo> StyleStore::stylesOfMetre(int32_t metre, uint32_t categoryMask) const
{
    std::vector<tagStyleInfo> out;
    auto take = [&](int32_t id) {
        auto rec = info(id);
        if (rec && (metre < 0 || rec->metre == metre) && inCategories(*rec, categoryMask))
            out.push_back(*rec);
    };
    for (const auto& entry : m_library)
        take(entry.first);
    for (const auto& entry : m_user.details)
        if (m_library.count(entry.first) == 0)
            take(entry.first);
    return out;
}

std::vector<tagStyleInfo> StyleStore::recommended(int32_t metre, size_t max) const
{
    std::vector<tagStyleInfo> out;
    auto fits = [&](const tagStyleInfo& rec) { return rec.state == SF_STATE_INSTALLED && rec.metre == metre; };
    for (int32_t id : m_user.recommended)
        if (auto rec = info(id); rec && fits(*rec))
            out.push_back(*rec);
    if (out.empty()) {
        const auto all = stylesOfMetre(metre);
        for (int pass = 0; pass < 2; ++pass)
            for (const auto& rec : all)
                if (fits(rec) && ((rec.flags & SF_FLAG_FEATURED) != 0) == (pass == 0))
                    out.push_back(rec);
    }
    if (out.size() > max)
        out.resize(max);
    return out;
}

std::optional<std::vector<uint8_t>> StyleStore::loadData(int32_t id) const
{
    std::string why = "unreadable";
    if (m_downloaded.count(id) != 0) {
        auto bytes = readFile(dataPath(id), kDataFileHeader + kMaxCompressedData);
        if (auto data = bytes ? parseDataFile(*bytes, id, &why) : std::nullopt)
            return data;
        MDP_DebugOutput("Style data %s refused: %s.\n", dataPath(id).c_str(), why.c_str());
    }
    if (auto path = m_libraryPaths.find(id); path != m_libraryPaths.end()) {
        auto bytes = readFile(path->second, kStyleFileHeader + SF_INFO_SIZE + kMaxCompressedData);
        auto style = bytes ? parseStyleFile(*bytes, &why) : std::nullopt;
        if (style && style->info.id == id)
            return std::move(style->data);
        MDP_DebugOutput("Style file %s refused: %s.\n", path->second.c_str(), why.c_str());
    }
    return std::nullopt;
}

const std::vector<uint8_t>* StyleStore::data(int32_t id)
{
    if (auto hit = m_dataCache.find(id); hit != m_dataCache.end())
        return hit->second.get();
    auto loaded = loadData(id);
    if (!loaded)
        return nullptr;
    auto buffer = std::make_shared<const std::vector<uint8_t>>(std::move(*loaded));
    m_dataCache[id] = buffer;
    return buffer.get();
}

} // namespace melodrift::patbank
