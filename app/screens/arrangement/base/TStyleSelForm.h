#pragma once

// The modal style selection dialog. It shows TStyleSelLogic's state and
// forwards input to it; the online client reports downloads to it by message.

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "MessageDispatcher.h"
#include "StyleSelLogic.h"

class QLabel;
class QLineEdit;

namespace melodrift {

class TPNGButton;
class TStyleList;
class TPageStrip;

// A check box or radio drawn in the skin ("StyleLstCheckA/B", "StyleLstRadioA/B").
class TSkinToggle : public QWidget {
public:
    TSkinToggle(const QString& caption, bool radio, QWidget* parent);
    std::function<void()> onClick;
    void SetChecked(bool on);
    bool Checked() const { return m_checked; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString m_caption;
    bool m_radio;
    bool m_checked = false;
};

class TStyleSelForm : public QDialog, public TMessageTarget {
    Q_OBJECT
public:
    TStyleSelForm(TSongModel& song, StyleDialogInput input, bool loggedIn, QWidget* parent = nullptr,
                  StyleRunState& run = StyleRun());
    ~TStyleSelForm() override;

    TStyleSelLogic& Logic() { return m_logic; }
    const StyleDialogInput& Output() const { return m_logic.Output(); }
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    // The user's actions, as the controls forward them.
    void ClickTab(StyleTab tab);
    void ClickCategory(int box);
    void PressItem(int libraryIndex, bool right, const QPoint& globalPos);
    void ReleaseItem(int libraryIndex);
    void ClickRadio(const SectionRadio& radio);
    void ClickPlay();
    void ClickStop();
    void ClickChoose();
    void ClickClose();
    void ShowHintFor(int libraryIndex, const QPoint& globalPos);
    void HideHint();
    // Refreshes every control from the logic.
    void Renew();

    QLabel* m_lblTitle;
    TPNGButton* m_btnClose;
    TPNGButton* m_btnFind;
    TPNGButton* m_btnPayMny;
    TPNGButton* m_btnCollect;
    TPNGButton* m_btnPngSearch;
    TPNGButton* m_btnRecord;
    QWidget* m_pImgBtnState;
    QWidget* m_ImgFind;
    std::array<TSkinToggle*, 11> m_categoryBoxes{};   // m_pbPop .. m_pbOthStyle, m_pbInverts
    QLineEdit* m_edSearch;
    std::array<TSkinToggle*, 13> m_radios{};          // Base1-4, Int1-4, End1-4, Full
    std::array<QLabel*, 3> m_radioLabels{};
    TPNGButton* m_btnPlay;
    TPNGButton* m_btnStop;
    TPNGButton* m_btnTry;
    TStyleList* m_lbStyle;
    TPNGButton* m_btnHeadPage;
    TPNGButton* m_btnUpPage;
    TPNGButton* m_btnNextPage;
    TPNGButton* m_btnEndPage;
    TPageStrip* m_pbPageNum;
    QLabel* m_pbPages;
    QLineEdit* m_edtPageGo;
    TPNGButton* m_btnPageGo;
    QLabel* m_hint;
    QTimer m_hintTimer;
    QTimer Timer2;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void done(int result) override;

private:
    void LayoutTabs();
    void ShowMenu(int libraryIndex, const QPoint& globalPos);
    void ReportDownloadRefusal(int32_t result);
    bool ConfirmClose();

    TStyleSelLogic m_logic;
    QPoint m_dragFrom;
    bool m_dragging = false;
    bool m_closing = false;
    int m_hintIndex = -1;
    QPoint m_hintPos;
};

// Radio index of m_radios for a section radio and back.
int RadioIndex(const SectionRadio& radio);
SectionRadio RadioAt(int index);

} // namespace melodrift
