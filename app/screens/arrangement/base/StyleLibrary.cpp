#include "StyleLibrary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

#include "EngineTables.h"
#include "MelodriftPlatform.h"

namespace melodrift {

namespace fs = std::filesystem;

int StyleRunState::IndexOf(int32_t id) const
{
    for (size_t i = 0; i < library.size(); ++i)
        if (library[i].info.id == id)
            return static_cast<int>(i);
    return -1;
}

bool StyleRunState::IsFavourite(int32_t id) const
{
    return std::find(favourites.begin(), favourites.end(), id) != favourites.end();
}

StyleRunState& StyleRun()
{
    static StyleRunState run;
    return run;
}

void CutUtf8Field(char* field, size_t capacity)
{
    if (capacity == 0)
        return;
    size_t length = strnlen(field, capacity);
    if (length == capacity)
        length = capacity - 1;
    // Step back over a character that the cut would split.
    size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(field[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start > 0) {
        const unsigned char lead = static_cast<unsigned char>(field[start - 1]);
        const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (lead >= 0x80 && length - (start - 1) < need)
            length = start - 1;
    }
    std::memset(field + length, 0, capacity - length);
}

static void CutTexts(tagStyleInfo& info)
{
    CutUtf8Field(info.author, sizeof info.author);
    CutUtf8Field(info.name, sizeof info.name);
    CutUtf8Field(info.description, sizeof info.description);
}

void LoadStyleLibrary(StyleRunState& run, int metre)
{
    if (!run.favouritesRead) {
        run.favourites = ReadFavourites(FavouritesPath());
        run.favouritesRead = true;
    }
    if (run.loadedMetre == metre)
        return;
    run.library.clear();
    run.loadedMetre = metre;
    const auto& sm = Engines().sm;
    if (!sm.SM_GetStyleInfos)
        return;
    int32_t count = 0;
    if (sm.SM_GetStyleInfos(metre, nullptr, &count) == -1 || count <= 0)
        return;
    std::vector<tagStyleInfo> infos(static_cast<size_t>(count));
    int32_t filled = count;
    if (sm.SM_GetStyleInfos(metre, infos.data(), &filled) == -1)
        return;
    filled = std::clamp(filled, 0, count);
    run.library.reserve(static_cast<size_t>(filled));
    for (int i = 0; i < filled; ++i) {
        StyleEntry entry;
        entry.info = infos[static_cast<size_t>(i)];
        CutTexts(entry.info);
        run.library.push_back(entry);
    }
}

bool RefreshStyleRecord(StyleRunState& run, int32_t id)
{
    const int index = run.IndexOf(id);
    const auto& sm = Engines().sm;
    if (index < 0 || !sm.SM_GetStyleInfo)
        return false;
    tagStyleInfo info{};
    if (sm.SM_GetStyleInfo(id, &info) != 0) {
        MDP_DebugOutput("Style dialog: no record for style %d after its download\n", id);
        return false;
    }
    CutTexts(info);
    run.library[static_cast<size_t>(index)].info = info;
    return true;
}

std::string FavouritesPath()
{
    char dir[4096];
    const size_t length = MDP_UserDataDir(dir, sizeof dir);
    if (length == 0 || length >= sizeof dir)
        return {};
    return (fs::path(dir) / "profile" / "Collect.dat").string();
}

std::vector<int32_t> ReadFavourites(const std::string& path)
{
    std::vector<int32_t> ids;
    if (path.empty())
        return ids;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return ids;
    unsigned char bytes[4];
    // A torn last word (a crash while writing an older version) is dropped.
    while (std::fread(bytes, 1, 4, file) == 4) {
        const int32_t id = static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                                static_cast<uint32_t>(bytes[2]) << 16 |
                                                static_cast<uint32_t>(bytes[3]) << 24);
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    }
    std::fclose(file);
    return ids;
}

bool WriteFavourites(const std::string& path, const std::vector<int32_t>& ids)
{
    if (path.empty())
        return false;
    std::error_code error;
    if (ids.empty()) {
        fs::remove(path, error);
        return !error;
    }
    fs::create_directories(fs::path(path).parent_path(), error);
    std::vector<unsigned char> bytes;
    bytes.reserve(ids.size() * 4);
    for (int32_t id : ids)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(static_cast<uint32_t>(id) >> shift));
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        fs::remove(temp, error);
        return false;
    }
    return true;
}

uint32_t GenreMaskOf(const std::array<bool, 11>& boxes)
{
    uint32_t mask = 0;
    for (int i = 0; i < kCategoryBoxes; ++i)
        if (boxes[static_cast<size_t>(i)])
            mask |= 1u << i;
    if (boxes[kSelectNoneBox])
        mask |= 1u << kSelectNoneBit;
    return mask;
}

std::array<bool, 11> BoxesOfGenreMask(uint32_t mask)
{
    std::array<bool, 11> boxes{};
    for (int i = 0; i < kCategoryBoxes; ++i)
        boxes[static_cast<size_t>(i)] = (mask >> i) & 1u;
    boxes[kSelectNoneBox] = (mask >> kSelectNoneBit) & 1u;
    return boxes;
}

const char* CategoryName(int category)
{
    static const char* const names[] = {"流行", "民谣", "摇滚", "舞曲", "爵士", "蓝调",
                                        "桑巴", "古典", "圆舞曲", "独立", "乡村", "R&B"};
    if (category < 0 || category >= static_cast<int>(std::size(names)))
        return "";
    return names[category];
}

} // namespace melodrift
