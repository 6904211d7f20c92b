#pragma once

// What the style dialog keeps for the whole run: the local library of one
// metre, the checked categories, the favourites (stored in the user's
// profile/Collect.dat), the tried styles and the account's styles.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Patbank.h"

namespace melodrift {

// Category boxes 0..9 and the select-none box.
constexpr int kCategoryBoxes = 10;
constexpr int kSelectNoneBox = 10;
constexpr int kSelectNoneBit = 11;

struct StyleEntry {
    tagStyleInfo info{};
    // 0 normal, 1 pointer over the download icon, 2..11 / 12..21 download
    // animation frames (the second range while selected).
    int uiState = 0;
    bool Installed() const { return info.state == SF_STATE_INSTALLED; }
    bool Downloading() const { return uiState > 1; }
};

struct StyleRunState {
    int loadedMetre = -1;                 // -1: never loaded
    std::vector<StyleEntry> library;
    std::vector<int> checkedCategories;   // shared with the song setup screen
    std::vector<int32_t> favourites;
    bool favouritesRead = false;
    std::vector<int32_t> tried;           // ids, in the order they were chosen
    std::vector<int32_t> accountStyles;   // delivered after a login

    int IndexOf(int32_t id) const;
    bool IsFavourite(int32_t id) const;
};

StyleRunState& StyleRun();

// Loads the library for the metre unless it is loaded for it already;
// SM_GetStyleInfos failing leaves the list empty. Reads the favourites once.
void LoadStyleLibrary(StyleRunState& run, int metre);
// Re-reads one style's record after a download; false leaves the old one.
bool RefreshStyleRecord(StyleRunState& run, int32_t id);

// Texts arrive as UTF-8; cut to fit their field with the NUL, never inside
// a character.
void CutUtf8Field(char* field, size_t capacity);

// The favourites file under the user data folder.
std::string FavouritesPath();
std::vector<int32_t> ReadFavourites(const std::string& path);
// Rewrites the file (temp file, fsync, rename) or deletes it when empty.
bool WriteFavourites(const std::string& path, const std::vector<int32_t>& ids);

// genreMask bits from the category states and back.
uint32_t GenreMaskOf(const std::array<bool, 11>& boxes);
std::array<bool, 11> BoxesOfGenreMask(uint32_t mask);

// The hint names of categories 0..11.
const char* CategoryName(int category);

} // namespace melodrift
