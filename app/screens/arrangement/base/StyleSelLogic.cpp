#include "StyleSelLogic.h"

#include <algorithm>

#include "EngineTables.h"
#include "Tidelink.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

namespace {

bool HasCategory(const tagStyleInfo& info, int box)
{
    for (int k = 0; k < 2; ++k) {
        const int c = info.categories[k];
        if (c < 0)
            continue;
        if (box < 9 ? c == box : c >= 9)
            return true;
    }
    return false;
}


} // namespace

TStyleSelLogic::TStyleSelLogic(StyleRunState& run, TSongModel& song, StyleDialogInput input)
    : m_run(run), m_song(song), m_in(std::move(input)), m_out(m_in)
{
}

void TStyleSelLogic::Activate(bool loggedIn)
{
    m_loggedIn = loggedIn;
    LoadStyleLibrary(m_run, m_song.metre);
    if (m_run.checkedCategories.empty()) {
        m_boxes = BoxesOfGenreMask(m_song.genreMask);
        for (int i = 0; i < 11; ++i)
            if (m_boxes[static_cast<size_t>(i)])
                m_run.checkedCategories.push_back(i);
    } else {
        m_boxes = {};
        for (int box : m_run.checkedCategories)
            if (box >= 0 && box < 11)
                m_boxes[static_cast<size_t>(box)] = true;
    }
    m_radio = {};
    const int current = m_run.IndexOf(m_in.styleId);
    if (current >= 0) {
        const int primary = Entry(current).info.categories[0];
        if (primary >= 0) {
            const int box = std::min(primary, 9);
            if (!m_boxes[static_cast<size_t>(box)]) {
                m_boxes[static_cast<size_t>(box)] = true;
                m_boxes[kSelectNoneBox] = false;
                m_run.checkedCategories.push_back(box);
            }
        }
    }
    m_tab = StyleTab::Categories;
    m_panelShown = true;
    RunCategoryFilter();
    const auto it = std::find(m_filtered.begin(), m_filtered.end(), current);
    if (current >= 0 && it != m_filtered.end()) {
        ShowPage(static_cast<int>(it - m_filtered.begin()) / kStylesPerPage + 1);
        Select(current);
    }
    if (m_in.stageIndex >= 0)
        m_radio = {std::clamp(m_in.stageKind, 0, 2), std::clamp(m_in.variation, 0, 3)};
}

void TStyleSelLogic::RunCategoryFilter()
{
    std::vector<int> list;
    for (size_t i = 0; i < m_run.library.size(); ++i)
        for (int box = 0; box < kCategoryBoxes; ++box)
            if (m_boxes[static_cast<size_t>(box)] && HasCategory(m_run.library[i].info, box)) {
                list.push_back(static_cast<int>(i));
                break;
            }
    SetFiltered(std::move(list));
}

void TStyleSelLogic::SetFiltered(std::vector<int> list)
{
    m_filtered = std::move(list);
    m_page = 1;
    m_windowStart = 1;
}

void TStyleSelLogic::ClearSelection()
{
    StopPreview();
    m_selected = -1;
    m_playEnabled = false;
    m_chooseEnabled = false;
}

void TStyleSelLogic::ToggleCategory(int box)
{
    if (box < 0 || box > kSelectNoneBox || m_tab != StyleTab::Categories || !m_panelShown)
        return;
    ClearSelection();
    auto& b = m_boxes;
    b[static_cast<size_t>(box)] = !b[static_cast<size_t>(box)];
    if (box == kSelectNoneBox && b[kSelectNoneBox])
        std::fill(b.begin(), b.begin() + kCategoryBoxes, false);
    else if (box < kCategoryBoxes)
        b[kSelectNoneBox] = false;
    m_run.checkedCategories.clear();
    for (int i = 0; i < 11; ++i)
        if (b[static_cast<size_t>(i)])
            m_run.checkedCategories.push_back(i);
    RunCategoryFilter();
}

void TStyleSelLogic::SetTab(StyleTab tab)
{
    if (tab == StyleTab::Account && !m_loggedIn)
        return;
    if (tab == m_tab) {
        if (tab == StyleTab::Categories)
            m_panelShown = !m_panelShown;
        return;
    }
    ClearSelection();
    m_tab = tab;
    m_panelShown = tab == StyleTab::Categories;
    m_search.clear();
    Refilter();
}

void TStyleSelLogic::Refilter()
{
    std::vector<int> list;
    const auto& lib = m_run.library;
    auto byIds = [&](const std::vector<int32_t>& ids) {
        for (size_t i = 0; i < lib.size(); ++i)
            if (std::find(ids.begin(), ids.end(), lib[i].info.id) != ids.end())
                list.push_back(static_cast<int>(i));
    };
    switch (m_tab) {
    case StyleTab::Categories:
        RunCategoryFilter();
        return;
    case StyleTab::Account:
        byIds(m_run.accountStyles);
        break;
    case StyleTab::Favourites:
        byIds(m_run.favourites);
        break;
    case StyleTab::Search:
        for (size_t i = 0; i < lib.size(); ++i)
            if (m_search.isEmpty() || QString::fromUtf8(lib[i].info.name).contains(m_search, Qt::CaseInsensitive))
                list.push_back(static_cast<int>(i));
        break;
    case StyleTab::Tried:
        // The library holds the song's metre only, so the metre test is the lookup.
        for (int32_t id : m_run.tried) {
            const int index = m_run.IndexOf(id);
            if (index >= 0 && lib[static_cast<size_t>(index)].info.metre == m_song.metre)
                list.push_back(index);
        }
        break;
    }
    SetFiltered(std::move(list));
}

void TStyleSelLogic::SetSearchText(const QString& text)
{
    if (m_tab != StyleTab::Search)
        return;
    m_search = text.trimmed();
    ClearSelection();
    Refilter();
}

int TStyleSelLogic::PageCount() const
{
    return static_cast<int>((m_filtered.size() + kStylesPerPage - 1) / kStylesPerPage);
}

std::vector<int> TStyleSelLogic::StripPages() const
{
    std::vector<int> pages;
    for (int p = m_windowStart; p <= PageCount() && p < m_windowStart + kPageStripCells; ++p)
        pages.push_back(p);
    return pages;
}

bool TStyleSelLogic::StripEllipsis() const
{
    return m_windowStart + kPageStripCells - 1 < PageCount();
}

void TStyleSelLogic::ShowPage(int page)
{
    if (page < 1 || page > PageCount())
        return;
    m_page = page;
    if (page < m_windowStart || page >= m_windowStart + kPageStripCells)
        SetPageWindowFor(page);
}

void TStyleSelLogic::SetPageWindowFor(int page)
{
    const int count = PageCount();
    if (count <= kPageStripCells || page <= 4)
        m_windowStart = 1;
    else if (page > count - 3)
        m_windowStart = count - 5;
    else
        m_windowStart = page - 3;   // the page sits in slot 4
}

void TStyleSelLogic::FirstPage()
{
    if (PageCount() == 0)
        return;
    m_page = 1;
    m_windowStart = 1;
}

void TStyleSelLogic::PreviousPage()
{
    if (m_page <= 1)
        return;
    --m_page;
    if (m_page < m_windowStart)
        m_windowStart = m_page;
}

void TStyleSelLogic::NextPage()
{
    const int count = PageCount();
    if (m_page >= count)
        return;
    ++m_page;
    // While more pages follow the strip, the current page moves no further
    // than the fourth cell.
    const int slot = m_page - m_windowStart + 1;
    if (count - m_windowStart > 5 && slot > 4)
        m_windowStart = std::min(m_page - 3, count - 5);
}

void TStyleSelLogic::LastPage()
{
    const int count = PageCount();
    if (count == 0)
        return;
    m_page = count;
    m_windowStart = std::max(1, count - 5);
}

void TStyleSelLogic::GoToPage(int page)
{
    // Page 0 would show an empty page; it is refused.
    if (page < 1)
        return;
    page = std::min(page, PageCount());
    if (page < 1)
        return;
    m_page = page;
    SetPageWindowFor(page);
}

QString TStyleSelLogic::ClampGoText(const QString& typed) const
{
    QString digits;
    for (QChar c : typed)
        if (c.isDigit() && digits.size() < 3)
            digits += c;
    if (!digits.isEmpty() && digits.toInt() > PageCount())
        digits = QString::number(PageCount());
    return digits;
}

std::vector<int> TStyleSelLogic::PageEntries() const
{
    std::vector<int> entries;
    const size_t first = static_cast<size_t>(std::max(0, m_page - 1)) * kStylesPerPage;
    for (size_t i = first; i < m_filtered.size() && i < first + kStylesPerPage; ++i)
        entries.push_back(m_filtered[i]);
    return entries;
}

bool TStyleSelLogic::Select(int libraryIndex)
{
    if (libraryIndex < 0 || libraryIndex >= static_cast<int>(m_run.library.size()) || libraryIndex == m_selected)
        return false;
    StopPreview();
    m_selected = libraryIndex;
    const bool installed = Entry(libraryIndex).Installed();
    m_playEnabled = installed;
    m_chooseEnabled = installed;
    return true;
}

QString TStyleSelLogic::HintText(int libraryIndex) const
{
    const tagStyleInfo& info = Entry(libraryIndex).info;
    QString kinds;
    const int primary = info.categories[0], secondary = info.categories[1];
    if (primary >= 0)
        kinds += QString::fromUtf8(CategoryName(primary)) + QLatin1Char(' ');
    if (secondary >= 0 && secondary != primary)
        kinds += QString::fromUtf8(CategoryName(secondary)) + QLatin1Char(' ');
    if (kinds.isEmpty())
        kinds = QStringLiteral("未知类型");
    return QStringLiteral("名称：") + QString::fromUtf8(info.name) + QStringLiteral("\n描述：") +
           QString::fromUtf8(info.description) + QStringLiteral("\n类型: ") + kinds;
}

std::vector<PopMenuItem> TStyleSelLogic::MenuFor(int libraryIndex) const
{
    std::vector<PopMenuItem> items;
    if (m_tab == StyleTab::Account)
        return items;
    const StyleEntry& entry = Entry(libraryIndex);
    if (!entry.Installed()) {
        items.push_back({.text = QStringLiteral("下载"), .enabled = !entry.Downloading(), .tag = kMenuDownload});
        items.push_back({});
    }
    if (m_tab == StyleTab::Favourites)
        items.push_back({.text = QStringLiteral("删除"), .tag = kMenuRemoveFavourite});
    else if (m_run.IsFavourite(entry.info.id))
        items.push_back({.text = QStringLiteral("已收藏"), .enabled = false, .checked = true, .tag = kMenuIsFavourite});
    else
        items.push_back({.text = QStringLiteral("收藏"), .tag = kMenuAddFavourite});
    return items;
}

void TStyleSelLogic::RunMenu(int libraryIndex, int tag)
{
    const int32_t id = Entry(libraryIndex).info.id;
    auto& fav = m_run.favourites;
    if (tag == kMenuAddFavourite && !m_run.IsFavourite(id)) {
        fav.push_back(id);
    } else if (tag == kMenuRemoveFavourite) {
        fav.erase(std::remove(fav.begin(), fav.end(), id), fav.end());
        const int keepPage = m_page;
        if (m_selected == libraryIndex)
            ClearSelection();
        Refilter();
        ShowPage(std::min(keepPage, std::max(1, PageCount())));
    }
}

int32_t TStyleSelLogic::StartDownload(int libraryIndex, bool fromMenu, MDP_Window window)
{
    StyleEntry& entry = m_run.library[static_cast<size_t>(libraryIndex)];
    if (entry.Installed() || entry.Downloading())
        return 0;
    const auto& cs = Engines().cs;
    const int32_t result = cs.CS_DownloadStyle ? cs.CS_DownloadStyle(entry.info.id, window) : CS_ERR_NO_SERVICE;
    entry.uiState = result == 0 ? (fromMenu ? 12 : 21) : 0;
    m_startedDownloads = m_startedDownloads || result == 0;
    return result;
}

bool TStyleSelLogic::AnyDownloading() const
{
    return std::any_of(m_run.library.begin(), m_run.library.end(), [](const StyleEntry& e) { return e.Downloading(); });
}

int TStyleSelLogic::AnimateDownload()
{
    for (int index : m_filtered) {
        StyleEntry& entry = m_run.library[static_cast<size_t>(index)];
        if (!entry.Downloading())
            continue;
        entry.uiState = (entry.uiState - 1) % 10 + 2 + (index == m_selected ? 10 : 0);
        return index;
    }
    return -1;
}

QString TStyleSelLogic::OnServiceEvent(int kind, int status, int32_t id)
{
    const int index = m_run.IndexOf(id);
    if (kind == 100 && status == 0) {
        RefreshStyleRecord(m_run, id);
        return {};
    }
    if (kind != 102 || index < 0)
        return {};
    StyleEntry& entry = m_run.library[static_cast<size_t>(index)];
    if (status != 0) {
        // Patbank stores a style only once all of it arrived: the library
        // is as it was; the entry can be downloaded again.
        const bool wasDownloading = entry.Downloading();
        entry.uiState = 0;
        if (!wasDownloading)
            return {};
        if (status == CS_ERR_CANCELLED)
            return QStringLiteral("风格“%1”的下载已取消。").arg(QString::fromUtf8(entry.info.name));
        return QStringLiteral("风格“%1”下载失败（错误 %2），请稍后重试。")
            .arg(QString::fromUtf8(entry.info.name))
            .arg(status);
    }
    RefreshStyleRecord(m_run, id);
    entry.info.state = SF_STATE_INSTALLED;
    entry.uiState = 0;
    if (index == m_selected) {
        m_playEnabled = true;
        m_chooseEnabled = true;
    }
    return {};
}

void TStyleSelLogic::AbandonDownloads()
{
    for (StyleEntry& entry : m_run.library)
        if (entry.Downloading())
            entry.uiState = 0;
}

bool TStyleSelLogic::RadioEnabled(const SectionRadio& radio) const
{
    if (radio.row < 0)
        return m_in.stageIndex < 0;
    if ((radio.row == 1 && radio.column >= 2) || (radio.row == 2 && radio.column >= 2))
        return false;   // intros 3-4 and endings 3-4 never take the selection
    if (m_in.stageIndex >= 0)
        return radio.row == std::clamp(m_in.stageKind, 0, 2);
    return true;
}

bool TStyleSelLogic::SelectRadio(const SectionRadio& radio)
{
    if (!RadioEnabled(radio) || radio == m_radio)
        return false;
    m_radio = radio;
    return true;
}

bool TStyleSelLogic::Preview(MDP_Window window)
{
    StopPreview();
    if (m_selected < 0 || !Entry(m_selected).Installed())
        return false;
    const tagStyleInfo& info = Entry(m_selected).info;
    const auto& mm = Engines().mm;
    const auto& sm = Engines().sm;
    bool ok = false;
    if (m_radio.row < 0 && m_in.fromBaseScreen) {
        m_song.styleId = info.id;
        m_song.styleFileName = info.name;
        ok = BaseCompose(m_song) && mm.MM_Play(window, 0, MM_PLAY_BASE) == 0;
    } else if (m_radio.row < 0) {
        std::vector<tagComposeStage> form = m_song.songForm;
        for (tagComposeStage& entry : form)
            entry.styleId = info.id;
        std::vector<uint8_t> midi;
        ok = ComposeMidi(m_song, form, m_song.key, midi, kDemoBufferSize) &&
             mm.MM_PlayStyleDemo(midi.data(), static_cast<int32_t>(midi.size()), m_song.tempo) == 0;
    } else if (m_radio.row == 0 && m_in.stageIndex >= 0 && m_in.stageKind == 0 &&
               m_in.stageIndex < static_cast<int>(m_song.songForm.size())) {
        tagComposeStage& stage = m_song.songForm[static_cast<size_t>(m_in.stageIndex)];
        stage.styleId = info.id;
        stage.pattern = m_radio.column;
        int firstBar = 0;
        for (int i = 0; i < m_in.stageIndex; ++i)
            firstBar += m_song.songForm[static_cast<size_t>(i)].barCount;
        ok = Compose(m_song, m_song.key, false) && mm.MM_Play(window, firstBar, MM_PLAY_SONG) == 0;
    } else {
        std::vector<uint8_t> midi(kDemoBufferSize);
        int32_t size = kDemoBufferSize;
        ok = sm.SM_GetStyleDemo(&size, midi.data(), info.id, m_radio.row, m_radio.column, std::max(0, m_song.key),
                                m_in.modeHint) == 0 &&
             size > 0 && size <= kDemoBufferSize && mm.MM_PlayStyleDemo(midi.data(), size, m_song.tempo) == 0;
    }
    m_previewing = ok;
    if (ok)
        m_chooseEnabled = true;
    return ok;
}

void TStyleSelLogic::StopPreview()
{
    if (!m_previewing)
        return;
    Engines().mm.MM_Stop();
    m_previewing = false;
}

bool TStyleSelLogic::Choose()
{
    StopPreview();
    if (m_selected < 0 || !Entry(m_selected).Installed())
        return false;
    const tagStyleInfo& info = Entry(m_selected).info;
    if (std::find(m_run.tried.begin(), m_run.tried.end(), info.id) == m_run.tried.end())
        m_run.tried.push_back(info.id);
    if (info.id != m_in.styleId) {
        m_song.SetFlag(kFlagComposed, false);
        m_out.styleId = info.id;
        m_out.styleFileName = info.name;
        if (m_in.stageIndex < 0)
            m_song.SetFlag(kFlagBaseAccompaniment, false);
    }
    m_run.checkedCategories.clear();
    for (int i = 0; i < 11; ++i)
        if (m_boxes[static_cast<size_t>(i)])
            m_run.checkedCategories.push_back(i);
    m_song.genreMask = GenreMaskOf(m_boxes);
    if (m_in.stageIndex >= 0)
        m_out.variation = m_radio.row >= 0 ? m_radio.column : m_in.variation;
    return true;
}

void TStyleSelLogic::Close()
{
    StopPreview();
    if (Engines().mm.MM_Stop)
        Engines().mm.MM_Stop();
    WriteFavourites(FavouritesPath(), m_run.favourites);
    // Only our own downloads are pending here; a login running meanwhile is
    // not ours to cancel.
    if (m_startedDownloads && Engines().cs.CS_CancelOperation)
        Engines().cs.CS_CancelOperation();
}

} // namespace melodrift
