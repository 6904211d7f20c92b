#pragma once

// Page 5, help and feedback: the public questions and answers, the user's
// own questions with the box to ask one, the general and the personal
// notices, all from the service's local lists; the manual, About and
// more-software, and the way back to the page it was opened from.

#include <QLabel>
#include <array>
#include <vector>

#include "HelpLogic.h"
#include "TScreenPage.h"

class QPlainTextEdit;

namespace melodrift {

struct AppSession;
class TMainForm;
class TPNGButton;
class TSkinScrollBar;

// The text view: wrapped lines with prefixes and colours over the page's
// paper, a scroll bar when they do not all fit.
class THelpTextView : public QWidget {
    Q_OBJECT
public:
    explicit THelpTextView(QWidget* parent = nullptr);

    // Switches to tab (storing the old tab's place) and shows its entries.
    void ShowEntries(int tab, const std::vector<CS_TextRecord>& entries, bool switching);
    const std::vector<HelpLine>& Lines() const { return m_lines; }
    const THelpScroll& Scroll() const { return m_scroll; }
    THelpScroll& Scroll() { return m_scroll; }
    int Tab() const { return m_tab; }
    int WrapWidth() const { return width() - kHelpLeftMargin - kHelpRightMargin; }
    int VisibleLines() const;
    TSkinScrollBar* ScrollBar() const { return m_bar; }
    // Lines as painted from the first visible one (tests read them).
    std::vector<HelpLine> ShownLines() const;

signals:
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Rebuild(const std::vector<CS_TextRecord>& entries);
    void SyncBar();

    std::vector<HelpLine> m_lines;
    std::vector<CS_TextRecord> m_entries;
    THelpScroll m_scroll;
    TSkinScrollBar* m_bar;
    int m_tab = kTabQnA;
};

class THelpForm : public TScreenPage {
    Q_OBJECT
public:
    THelpForm(TMainForm& form, AppSession& session, QWidget* parent = nullptr);

    void EnterStep() override;
    void NoticeCountChanged(int count, int which) override;
    void SetNoticeCount(int count, int which);
    int NoticeCount(int which) const;
    void ShowTab(int tab);
    int CurrentTab() const { return m_view->Tab(); }
    // Rebuilds the current tab from the local lists.
    void RefreshView();
    void SubmitQuestion();
    bool PlaceholderShown() const { return m_placeholder; }

    std::array<TPNGButton*, kHelpTabCount> m_tabButtons{};   // m_btnQnA, m_btnFeedback, m_btnPublicNT, m_btnUserNT
    TPNGButton* m_btnPrevStep;
    TPNGButton* m_btnHelp;
    TPNGButton* m_btnMore;
    TPNGButton* m_btnAbout;
    QLabel* m_lblUrl;
    QWidget* m_pbPublicNoticeNum;
    QWidget* m_pbUserNoticeNum;
    QPlainTextEdit* m_memMsg = nullptr;
    TPNGButton* m_btnSubmit;
    QLabel* m_lblMsgHead;
    QLabel* m_lblMsgNum;
    QLabel* m_lblMsgMiddle;
    QLabel* m_lblMsgURL;
    QLabel* m_lblMsgTail;
    THelpTextView* m_panelShow;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void ShowPlaceholder();
    void UpdateSubmit();
    void ShowSentence();
    int32_t UserId() const;
    void PaintBadge(QWidget* badge, int count);

    TMainForm& m_form;
    AppSession& m_session;
    THelpTextView* m_view;
    std::array<int, 2> m_counts{};   // general, personal
    bool m_placeholder = false;
};

} // namespace melodrift
