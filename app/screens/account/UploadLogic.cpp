#include "UploadLogic.h"

#include <algorithm>
#include <cstring>

#include "AccountText.h"
#include "EngineTables.h"
#include "SongModel.h"

namespace melodrift {

namespace {

int BoxOfCode(uint8_t code)
{
    if (code == kNoType)
        return -1;
    for (int i = 0; i < kMusicTypeCount; ++i)
        if (kMusicTypes[static_cast<size_t>(i)].code == code)
            return i;
    return kOthersBox;   // codes above 10 count as "其它"
}

QString FieldText(const uint8_t* block, const BlockField& field)
{
    const char* text = reinterpret_cast<const char*>(block + field.offset);
    return QString::fromUtf8(text, static_cast<qsizetype>(strnlen(text, field.capacity)));
}

constexpr size_t kStyleInfoSize = 1800;
constexpr size_t kStyleTypesOffset = 32;
constexpr size_t kMaxProposalStyles = 32;

} // namespace

int TMusicTypeChoice::CheckedCount() const
{
    return static_cast<int>(std::count(m_checked.begin(), m_checked.end(), true));
}

void TMusicTypeChoice::Toggle(int box)
{
    if (box < 0 || box >= kMusicTypeCount)
        return;
    bool& checked = m_checked[static_cast<size_t>(box)];
    if (!checked) {
        if (CheckedCount() < kTypeSlots)
            checked = true;
        return;
    }
    checked = false;
    if (CheckedCount() == 0)
        m_checked[kOthersBox] = true;
}

void TMusicTypeChoice::CheckCodes(const std::vector<uint8_t>& codes)
{
    for (uint8_t code : codes) {
        const int box = BoxOfCode(code);
        if (box >= 0 && !Checked(box) && CheckedCount() < kTypeSlots)
            m_checked[static_cast<size_t>(box)] = true;
    }
}

std::vector<uint8_t> TMusicTypeChoice::Codes() const
{
    std::vector<uint8_t> codes;
    for (int i = 0; i < kMusicTypeCount; ++i)
        if (Checked(i))
            codes.push_back(kMusicTypes[static_cast<size_t>(i)].code);
    return codes;
}

bool ReadDescription(const uint8_t* block, SongDescription& out)
{
    out.songName = FieldText(block, kFieldSongName);
    if (out.songName.isEmpty())
        return false;
    out.singer = FieldText(block, kFieldSinger);
    out.original = FieldText(block, kFieldOriginal);
    out.lyricist = FieldText(block, kFieldLyricist);
    out.composer = FieldText(block, kFieldComposer);
    out.arranger = FieldText(block, kFieldArranger);
    out.description = FieldText(block, kFieldDescription);
    out.adaptation = block[kKindOffset] == kKindAdaptation;
    out.publish = block[kPublishOffset] != 0;
    out.sexIndex = block[kSexOffset] >= 1 && block[kSexOffset] <= 4 ? block[kSexOffset] - 1 : 0;
    out.types.clear();
    for (int i = 0; i < kTypeSlots; ++i)
        if (block[kTypesOffset + static_cast<size_t>(i)] != kNoType)
            out.types.push_back(block[kTypesOffset + static_cast<size_t>(i)]);
    return true;
}

QString WriteDescription(const SongDescription& entries, int tempo, int metre, uint8_t* block)
{
    std::array<uint8_t, kDescriptionBlockSize> out;
    std::memcpy(out.data(), block, out.size());
    const std::pair<const BlockField*, QString> texts[] = {
        {&kFieldSongName, entries.songName.trimmed()},
        {&kFieldSinger, entries.singer.trimmed()},
        {&kFieldOriginal, entries.adaptation ? entries.original.trimmed() : QString()},
        {&kFieldLyricist, entries.lyricist.trimmed()},
        {&kFieldComposer, entries.composer.trimmed()},
        {&kFieldArranger, entries.arranger.trimmed()},
        {&kFieldDescription, entries.description.trimmed()},
    };
    for (const auto& [field, text] : texts) {
        const QString name = QString::fromUtf8(field->name);
        if (HasUnwritableCharacter(text))
            return QStringLiteral("%1含有无法保存的字符，请修改。").arg(name);
        if (CodePageLength(text) > field->maxBytes)
            return QStringLiteral("%1太长，最多%2个字节，请删减。").arg(name).arg(field->maxBytes);
        WriteField(text, out.data() + field->offset, field->capacity);
    }
    const int32_t tempo32 = tempo;
    std::memcpy(out.data() + kTempoOffset, &tempo32, sizeof tempo32);
    out[kMetreOffset] = static_cast<uint8_t>(metre);
    out[kKindOffset] = entries.adaptation ? kKindAdaptation : kKindOriginal;
    out[kPublishOffset] = entries.publish ? 1 : 0;
    out[kSexOffset] = static_cast<uint8_t>(std::clamp(entries.sexIndex, 0, 3) + 1);
    for (int i = 0; i < kTypeSlots; ++i)
        out[kTypesOffset + static_cast<size_t>(i)] =
            static_cast<size_t>(i) < entries.types.size() ? entries.types[static_cast<size_t>(i)] : kNoType;
    std::memcpy(block, out.data(), out.size());
    return {};
}

std::vector<uint8_t> ProposedMusicTypes(const TSongModel& song, const StyleTypesReader& read)
{
    std::vector<int32_t> styles;
    auto add = [&styles](int32_t id) {
        if (id >= 0 && styles.size() < kMaxProposalStyles && std::find(styles.begin(), styles.end(), id) == styles.end())
            styles.push_back(id);
    };
    add(song.styleId);
    for (const tagComposeStage& entry : song.songForm)
        add(entry.styleId);
    TMusicTypeChoice choice;
    for (int32_t id : styles) {
        std::array<uint8_t, 4> types{};
        if (!read || !read(id, types))
            continue;
        std::vector<uint8_t> codes;
        for (uint8_t code : types)
            if (code != kNoType)
                codes.push_back(code > 10 ? 127 : code);
        choice.CheckCodes(codes);
    }
    return choice.Codes();
}

StyleTypesReader ComposerStyleTypes()
{
    return [](int32_t styleId, std::array<uint8_t, 4>& types) {
        const auto get = Engines().sm.SM_GetStyleInfo;
        if (get == nullptr)
            return false;
        std::array<uint8_t, kStyleInfoSize> record{};
        if (get(styleId, record.data()) != 0)
            return false;
        std::memcpy(types.data(), record.data() + kStyleTypesOffset, types.size());
        return true;
    };
}

} // namespace melodrift
