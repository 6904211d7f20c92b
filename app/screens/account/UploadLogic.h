#pragma once

// The song description block an upload sends ahead of the song (1008 bytes,
// texts in the code page, NUL-terminated, integers little-endian), the music
// type choice of the upload dialog and the types proposed from the song's
// styles. A text that does not fit its field whole is refused, never cut.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace melodrift {

class TSongModel;

constexpr size_t kDescriptionBlockSize = 1008;

// Fields of the block: offset, capacity, and the longest text the dialog takes.
struct BlockField {
    size_t offset;
    size_t capacity;
    int maxBytes;
    const char* name;   // for the refusal message
};
constexpr BlockField kFieldSongName{4, 64, 60, "歌曲名称"};
constexpr BlockField kFieldSinger{76, 32, 30, "演唱者"};
constexpr BlockField kFieldOriginal{108, 32, 30, "原唱"};
constexpr BlockField kFieldLyricist{140, 32, 30, "作词"};
constexpr BlockField kFieldComposer{172, 32, 30, "作曲"};
constexpr BlockField kFieldArranger{204, 32, 30, "编曲"};
constexpr BlockField kFieldDescription{368, 640, 320, "歌曲描述"};
constexpr size_t kTempoOffset = 68;
constexpr size_t kMetreOffset = 72;
constexpr size_t kKindOffset = 73;      // 1 original, 3 adaptation
constexpr size_t kPublishOffset = 74;
constexpr size_t kSexOffset = 75;       // list index + 1
constexpr size_t kTypesOffset = 236;
constexpr int kTypeSlots = 4;
constexpr uint8_t kNoType = 0xFF;
constexpr uint8_t kKindOriginal = 1;
constexpr uint8_t kKindAdaptation = 3;

struct MusicType {
    const char* caption;
    uint8_t code;
};
constexpr int kMusicTypeCount = 12;
constexpr std::array<MusicType, kMusicTypeCount> kMusicTypes{{
    {"流行", 0}, {"民谣", 1}, {"摇滚", 2}, {"舞曲", 3}, {"爵士", 4}, {"蓝调", 5},
    {"桑巴", 6}, {"古典", 7}, {"圆舞曲", 8}, {"独立", 9}, {"乡村", 10}, {"其它", 127},
}};
constexpr int kOthersBox = kMusicTypeCount - 1;

// The twelve boxes: at most four checked, never none once one was.
class TMusicTypeChoice {
public:
    bool Checked(int box) const { return m_checked[static_cast<size_t>(box)]; }
    int CheckedCount() const;
    // A click on a box; a fifth box stays unchecked, unchecking the last
    // checked box checks "其它".
    void Toggle(int box);
    void Clear() { m_checked.fill(false); }
    // Checks the boxes of the codes (above 10 counts as "其它"), up to four.
    void CheckCodes(const std::vector<uint8_t>& codes);
    // The checked codes in the order of the boxes.
    std::vector<uint8_t> Codes() const;

private:
    std::array<bool, kMusicTypeCount> m_checked{};
};

// What the user typed, trimmed or not.
struct SongDescription {
    QString songName, singer, original, lyricist, composer, arranger, description;
    bool adaptation = false;
    bool publish = true;
    int sexIndex = 0;               // 0 男, 1 女, 2 组合, 3 其他
    std::vector<uint8_t> types;     // codes, at most four
};

// The kept copy of an earlier upload of the song; false when it holds no song name.
bool ReadDescription(const uint8_t* block, SongDescription& out);

// Writes the trimmed entries, the song's tempo and metre into block. On a
// text that does not fit its field or cannot be written, returns the message
// to show and leaves block untouched.
QString WriteDescription(const SongDescription& entries, int tempo, int metre, uint8_t* block);

// The distinct styles of the song (its own first, then the song form's, at
// most 32) and the music types their info records name (bytes 32..35 of the
// record, 0xFF unused, above 10 meaning "其它"), at most four.
using StyleTypesReader = std::function<bool(int32_t styleId, std::array<uint8_t, 4>& types)>;
std::vector<uint8_t> ProposedMusicTypes(const TSongModel& song, const StyleTypesReader& read);
// The reader over the composer's SM_GetStyleInfo.
StyleTypesReader ComposerStyleTypes();

} // namespace melodrift
