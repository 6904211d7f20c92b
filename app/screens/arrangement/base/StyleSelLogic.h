#pragma once

// The decisions of the style selection dialog, without pixels: which styles
// the active tab offers, paging, selection, favourites, downloads, previews
// and what choosing writes into the song.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "MelodriftPlatform.h"
#include "StyleLibrary.h"
#include "TPopMenu.h"

namespace melodrift {

class TSongModel;

enum class StyleTab { Categories = 0, Account = 1, Favourites = 2, Search = 3, Tried = 4 };

constexpr int kStylesPerPage = 20;
constexpr int kPageStripCells = 6;
constexpr int kDemoBufferSize = 100000;

// Section radios: row 0 main, 1 intro or interlude, 2 ending; column 0..3.
struct SectionRadio {
    int row = -1;      // -1 the whole-song radio
    int column = 0;
    bool operator==(const SectionRadio&) const = default;
};

struct StyleDialogInput {
    int32_t styleId = -1;
    std::string styleFileName;
    bool fromBaseScreen = true;
    int modeHint = -1;
    int stageIndex = -1;
    int stageKind = -1;
    int variation = 0;
};

enum MenuTag : int { kMenuDownload = 1, kMenuRemoveFavourite = 2, kMenuAddFavourite = 3, kMenuIsFavourite = 4 };

class TStyleSelLogic {
public:
    TStyleSelLogic(StyleRunState& run, TSongModel& song, StyleDialogInput input);

    // Creation and activation: loads the library, takes the category states,
    // checks the current style's category and goes to its page.
    void Activate(bool loggedIn);

    // Category boxes 0..9 and the select-none box (10).
    void ToggleCategory(int box);
    bool CategoryChecked(int box) const { return m_boxes[static_cast<size_t>(box)]; }
    bool CategoryPanelShown() const { return m_panelShown; }

    void SetTab(StyleTab tab);
    StyleTab Tab() const { return m_tab; }
    bool AccountTabShown() const { return m_loggedIn; }
    void SetSearchText(const QString& text);

    // Paging.
    int PageCount() const;
    int Page() const { return m_page; }
    int WindowStart() const { return m_windowStart; }
    // Page numbers the strip shows, and whether an ellipsis follows them.
    std::vector<int> StripPages() const;
    bool StripEllipsis() const;
    void FirstPage();
    void PreviousPage();
    void NextPage();
    void LastPage();
    void GoToPage(int page);
    void ShowPage(int page);   // a click on the number strip
    // What the go-to box keeps while typing: digits only, at most the count.
    QString ClampGoText(const QString& typed) const;

    // The entries (library indexes) of the filtered list and of the page.
    const std::vector<int>& Filtered() const { return m_filtered; }
    std::vector<int> PageEntries() const;
    const StyleEntry& Entry(int libraryIndex) const { return m_run.library[static_cast<size_t>(libraryIndex)]; }

    // Selection: a left press on an item (library index); true when changed.
    bool Select(int libraryIndex);
    int Selected() const { return m_selected; }
    bool PlayEnabled() const { return m_playEnabled; }
    bool ChooseEnabled() const { return m_chooseEnabled; }

    QString HintText(int libraryIndex) const;
    std::vector<PopMenuItem> MenuFor(int libraryIndex) const;
    void RunMenu(int libraryIndex, int tag);

    // Downloads: a left release on an entry not installed, or the menu.
    // Returns 0, or the service's refusal (the entry is then unmarked).
    int32_t StartDownload(int libraryIndex, bool fromMenu, MDP_Window window);
    bool AnyDownloading() const;
    // The 150 ms animation step: the library index redrawn, or -1.
    int AnimateDownload();
    // UM_SERVICE_EVENT: report kind, status and style id. Returns the text to
    // show when a download failed, else empty.
    QString OnServiceEvent(int kind, int status, int32_t id);
    // Answering Yes to the close question: downloads are abandoned.
    void AbandonDownloads();

    // Section radios.
    bool RadioEnabled(const SectionRadio& radio) const;
    const SectionRadio& Radio() const { return m_radio; }
    bool SelectRadio(const SectionRadio& radio);

    // Preview of the selected entry by the selected radio; false when it
    // could not start (then nothing plays).
    bool Preview(MDP_Window window);
    void StopPreview();
    bool Previewing() const { return m_previewing; }
    void EngineStopped() { m_previewing = false; }

    // Choosing: true when a style was chosen (OK), false for none.
    bool Choose();
    const StyleDialogInput& Output() const { return m_out; }

    // Closing: rewrites the favourites and cancels online operations.
    void Close();

    // The check states written into the song and kept for the run.
    std::array<bool, 11> Boxes() const { return m_boxes; }

private:
    void RunCategoryFilter();
    void Refilter();
    void ClearSelection();
    void SetFiltered(std::vector<int> list);
    void SetPageWindowFor(int page);
    int SelectedPageIndex() const;

    StyleRunState& m_run;
    TSongModel& m_song;
    StyleDialogInput m_in, m_out;
    std::array<bool, 11> m_boxes{};
    StyleTab m_tab = StyleTab::Categories;
    bool m_panelShown = true;
    bool m_loggedIn = false;
    QString m_search;
    std::vector<int> m_filtered;
    int m_page = 1;
    int m_windowStart = 1;
    int m_selected = -1;
    bool m_playEnabled = false;
    bool m_chooseEnabled = false;
    bool m_previewing = false;
    bool m_startedDownloads = false;
    SectionRadio m_radio;
};

} // namespace melodrift
