#include "TimbreLibraries.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "EngineTables.h"
#include "SongModel.h"

namespace melodrift {

namespace fs = std::filesystem;

namespace {

template <size_t N>
void CopyText(char (&target)[N], const std::string& text)
{
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

std::string FileNameOf(const FONTINFO& font) { return fs::path(font.path).filename().string(); }

} // namespace

int BuildTimbreLibraryList(TSongModel& song, const std::string& folder)
{
    song.fonts.clear();
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error))
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        FONTINFO font{};
        if (file.string().size() >= sizeof font.path)
            continue; // the engine's record cannot carry the path
        CopyText(font.path, file.string());
        if (Engines().mm.MM_GetFontInfo(font.path, font.name, font.info1, font.info2) != 0)
            continue;
        if (font.name[0] == '\0')
            CopyText(font.name, file.filename().string());
        song.fonts.push_back(font);
    }
    return static_cast<int>(song.fonts.size());
}

bool ChooseTimbreLibrary(TSongModel& song, const std::string& wanted)
{
    auto find = [&](auto match) {
        return std::find_if(song.fonts.begin(), song.fonts.end(), match) - song.fonts.begin();
    };
    const long count = static_cast<long>(song.fonts.size());
    long chosen = find([&](const FONTINFO& f) { return !wanted.empty() && FileNameOf(f) == wanted; });
    const bool found = chosen < count;
    if (!found)
        chosen = find([](const FONTINFO& f) {
            return std::strcmp(f.name, kDefaultTimbreLibrary) == 0 ||
                   fs::path(f.path).stem().string() == kDefaultTimbreLibrary;
        });
    if (chosen >= count)
        chosen = 0;
    if (count == 0)
        return false;
    song.timbreLibrary = static_cast<int32_t>(chosen);
    song.timbreLibraryName = FileNameOf(song.fonts[chosen]);
    Engines().mm.MM_SetFont(&song.fonts[chosen]);
    return found;
}

} // namespace melodrift
