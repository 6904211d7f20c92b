#include "SongFormLogic.h"

#include <algorithm>

#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

namespace {

QString PatternName(int pattern) { return QStringLiteral("(伴奏型%1)").arg(std::clamp(pattern, 0, 3) + 1); }

QString MelodyName(int stage, int pattern)
{
    return QString::fromStdString(StageLetter(stage)) + QStringLiteral("段 ") + PatternName(pattern);
}

int Variation(int ref) { return IsOutroRef(ref) ? ref - kOutroRef : ref - kIntroRef; }

QString SectionName(int ref, int bars)
{
    const QString kind = IsOutroRef(ref) ? QStringLiteral("尾奏-%1") : QStringLiteral("前/间奏-%1");
    return kind.arg(Variation(ref) + 1) + QStringLiteral("(%1小节)").arg(bars);
}

} // namespace

int SectionBars(const TSongModel& song, int ref)
{
    const int v = Variation(ref);
    if (v < 0 || v > 3 || IsMelodyRef(ref))
        return 0;
    return std::max(0, IsOutroRef(ref) ? song.outroBars[v] : song.introBars[v]);
}

std::vector<ResourceItem> ResourceItems(const TSongModel& song)
{
    std::vector<ResourceItem> items;
    for (int v = 0; v < 4; ++v)
        if (song.introBars[v] > 0)
            items.push_back({kIntroRef + v, SectionName(kIntroRef + v, song.introBars[v])});
    for (int i = 0; i < static_cast<int>(song.stages.size()); ++i)
        items.push_back({i, MelodyName(i, song.stages[i].pattern)});
    for (int v = 0; v < 4; ++v)
        if (song.outroBars[v] > 0)
            items.push_back({kOutroRef + v, SectionName(kOutroRef + v, song.outroBars[v])});
    return items;
}

QString ComposeStageName(const TSongModel&, const tagComposeStage& stage)
{
    if (IsMelodyRef(stage.ref))
        return MelodyName(stage.ref, stage.pattern);
    return SectionName(stage.ref, stage.barCount);
}

QColor StageColour(const tagComposeStage& stage, bool dark)
{
    static const QRgb melody[2][4] = {{0xFFF0C8, 0xFCECAE, 0xF1CD8F, 0xF2B979}, {0xCEC2A2, 0xCCBF8D, 0xC3A674, 0xC39562}};
    static const QRgb intro[2][4] = {{0xC4E693, 0xB3D7B0, 0xA4A4A4, 0x9C9C9C}, {0x9EBA77, 0x91AE8E, 0xA4A4A4, 0x9C9C9C}};
    static const QRgb outro[2][4] = {{0xCBDBF7, 0xBECEE9, 0xC8C8C8, 0xC0C0C0}, {0xA4B1C8, 0x99A6BC, 0xC8C8C8, 0xC0C0C0}};
    const int d = dark ? 1 : 0;
    if (IsMelodyRef(stage.ref))
        return QColor(melody[d][std::clamp(stage.pattern, 0, 3)]);
    const int v = std::clamp(Variation(stage.ref), 0, 3);
    return QColor(IsOutroRef(stage.ref) ? outro[d][v] : intro[d][v]);
}

SidePanelSplit SplitSidePanels(int h, int resourceItems, int mode)
{
    constexpr int kResourceHeader = 17, kComposeChrome = 31, kRow = 20;
    if (mode == 1)
        return {kResourceHeader, std::max(kComposeChrome, h - kResourceHeader)};
    if (mode == 2)
        return {std::max(kResourceHeader, h - kComposeChrome), kComposeChrome};
    const int resource = std::min(h * 4 / 9, kRow * (resourceItems + 1) + kResourceHeader);
    int compose = kComposeChrome + kRow * ((h - resource - kComposeChrome) / kRow + 1);
    compose = std::clamp(compose, kComposeChrome, std::max(kComposeChrome, h - kResourceHeader));
    return {h - compose, compose};
}

int SongFormEditor::StageCount() const { return static_cast<int>(m_song.songForm.size()); }

bool SongFormEditor::EndsWithOutro() const
{
    return !m_song.songForm.empty() && IsOutroRef(m_song.songForm.back().ref);
}

int SongFormEditor::BarCount() const
{
    int bars = 0;
    for (const auto& s : m_song.songForm)
        bars += std::max(0, s.barCount);
    return bars;
}

int SongFormEditor::StageOfBar(int bar) const
{
    if (bar < 0)
        return -1;
    int sum = 0;
    for (int i = 0; i < StageCount(); ++i) {
        sum += std::max(0, m_song.songForm[i].barCount);
        if (bar < sum)
            return i;
    }
    return -1;
}

int SongFormEditor::FirstBarOf(int stage) const
{
    int sum = 0;
    for (int i = 0; i < stage && i < StageCount(); ++i)
        sum += std::max(0, m_song.songForm[i].barCount);
    return sum;
}

bool SongFormEditor::CanInsert(int ref, int pos) const
{
    if (pos < 0 || pos > StageCount())
        return false;
    if (IsMelodyRef(ref) && ref >= static_cast<int>(m_song.stages.size()))
        return false;
    if (!IsMelodyRef(ref) && SectionBars(m_song, ref) <= 0)
        return false;
    if (IsOutroRef(ref))
        return pos == StageCount() && !EndsWithOutro();
    // Nothing goes after an outro.
    return !(EndsWithOutro() && pos == StageCount());
}

bool SongFormEditor::CanMove(int from, int pos) const
{
    if (from < 0 || from >= StageCount() || pos < 0 || pos > StageCount())
        return false;
    if (pos == from || pos == from + 1)
        return false;
    if (IsOutroRef(m_song.songForm[from].ref))
        return false;
    return !(EndsWithOutro() && pos == StageCount());
}

tagComposeStage SongFormEditor::NewStage(int ref) const
{
    tagComposeStage s;
    s.ref = ref;
    s.styleId = m_song.styleId;
    if (IsMelodyRef(ref)) {
        const tagMelodyStage& m = m_song.stages[ref];
        s.barCount = m.lastBar - m.firstBar + 1;
        s.pattern = m.pattern;
        for (int bar = m.firstBar; bar <= m.lastBar; ++bar)
            if (bar >= 0 && bar < static_cast<int>(m_song.bars.size()) && m_song.bars[bar].fill >= 0)
                s.fills.push_back(MakeFill(bar - m.firstBar, m_song.bars[bar].fill));
    } else {
        s.barCount = SectionBars(m_song, ref);
    }
    return s;
}

bool SongFormEditor::Insert(int ref, int pos)
{
    if (!CanInsert(ref, pos))
        return false;
    m_song.songForm.insert(m_song.songForm.begin() + pos, NewStage(ref));
    return true;
}

bool SongFormEditor::Append(int ref)
{
    if (IsOutroRef(ref)) {
        if (SectionBars(m_song, ref) <= 0)
            return false;
        if (EndsWithOutro()) {
            if (m_song.songForm.back().ref == ref)
                return false;
            m_song.songForm.back() = NewStage(ref);
            return true;
        }
        return Insert(ref, StageCount());
    }
    return Insert(ref, EndsWithOutro() ? StageCount() - 1 : StageCount());
}

bool SongFormEditor::Move(int from, int pos)
{
    if (!CanMove(from, pos))
        return false;
    tagComposeStage stage = std::move(m_song.songForm[from]);
    m_song.songForm.erase(m_song.songForm.begin() + from);
    m_song.songForm.insert(m_song.songForm.begin() + (pos > from ? pos - 1 : pos), std::move(stage));
    return true;
}

bool SongFormEditor::Remove(int index)
{
    if (index < 0 || index >= StageCount())
        return false;
    m_song.songForm.erase(m_song.songForm.begin() + index);
    return true;
}

bool SongFormEditor::SetPattern(int index, int pattern)
{
    if (index < 0 || index >= StageCount() || !IsMelodyRef(m_song.songForm[index].ref) || pattern < 0 || pattern > 3)
        return false;
    if (m_song.songForm[index].pattern == pattern)
        return false;
    m_song.songForm[index].pattern = pattern;
    return true;
}

int SongFormEditor::FillAt(int index, int offset) const
{
    if (index < 0 || index >= StageCount())
        return -1;
    for (int32_t f : m_song.songForm[index].fills)
        if (FillOffset(f) == offset)
            return FillVariant(f);
    return -1;
}

bool SongFormEditor::ToggleFill(int index, int offset, int variant)
{
    if (index < 0 || index >= StageCount() || !IsMelodyRef(m_song.songForm[index].ref))
        return false;
    if (offset < 0 || offset >= m_song.songForm[index].barCount || variant < 0 || variant > 1)
        return false;
    auto& fills = m_song.songForm[index].fills;
    const int current = FillAt(index, offset);
    fills.erase(std::remove_if(fills.begin(), fills.end(), [&](int32_t f) { return FillOffset(f) == offset; }),
                fills.end());
    if (current != variant)
        fills.push_back(MakeFill(offset, variant));
    return true;
}

bool SongFormEditor::MoveUpEnabled(int selected) const
{
    return selected > 0 && selected < StageCount() && !IsOutroRef(m_song.songForm[selected].ref);
}

bool SongFormEditor::MoveDownEnabled(int selected) const
{
    if (selected < 0 || selected >= StageCount() || IsOutroRef(m_song.songForm[selected].ref))
        return false;
    if (selected == StageCount() - 1)
        return false;
    return !(selected == StageCount() - 2 && EndsWithOutro());
}

} // namespace melodrift
