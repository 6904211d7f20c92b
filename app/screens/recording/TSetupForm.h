#pragma once

// Page 0: metre, tempo (dial, buttons, tap pad, preview) and the carousel of
// recommended styles whose demonstration plays when one is chosen. The
// decisions live in SetupLogic; this form shows them and calls the engines.

#include <QTimer>
#include <array>
#include <functional>
#include <vector>

#include "MessageDispatcher.h"
#include "Patbank.h"
#include "SetupLogic.h"
#include "TScreenPage.h"

class QLabel;

namespace melodrift {

struct AppSession;
class TMainForm;
class TPNGButton;
class TSongModel;

class TSetupForm : public TScreenPage, public TMessageTarget {
    Q_OBJECT
public:
    static constexpr int kDialCentreX = 582, kDialCentreY = 327;

    TSetupForm(TMainForm& form, AppSession& session, QWidget* parent = nullptr);
    ~TSetupForm() override;

    void EnterStep() override;
    void LeaveStep(intptr_t sender) override;
    void StopPlayback() override;
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    // What the controls do, callable without pixels.
    void ClickMetre(int metre);
    void SetDialAngle(int angle);           // dragging or a click on the ring
    void PressRingAt(QPoint formPoint);
    void StepTempo(int delta);              // the up and down buttons
    void TapPress(uint32_t nowMs);
    void TapRelease();
    void StartPreview();
    void StopPreview();
    void ChooseStyle(int index);
    void BrowseClick(int dir, bool leftButton);
    void AnimationTick();
    void OpenStyleDialog();

    int DialAngle() const { return m_angle; }
    int LabelTempo() const;
    bool PreviewRunning() const;
    const StyleCarousel& Carousel() const { return m_carousel; }
    const std::vector<tagStyleInfo>& Recommended() const { return m_styles; }
    // Where the tap tracker reads the time; tests replace it.
    std::function<uint32_t()> clock;

    // Controls, named as the form has always named them.
    std::array<TPNGButton*, 4> m_btnBeats{};   // m_btnBeat44, m_btnBeat43, m_btnBeat42, m_btnBeat86
    QWidget* m_panPointer;
    QLabel* m_labSpeed;
    TPNGButton* m_btnSpeedUp;
    TPNGButton* m_btnSpeedDown;
    TPNGButton* m_btnBeatPreview0;
    TPNGButton* m_btnBeatPreview1;
    QWidget* m_panBrowse;
    TPNGButton* m_btnBrowseRight;
    TPNGButton* m_btnBrowseLeft;
    TPNGButton* m_btnStyles;
    TPNGButton* m_btnNextStep;
    QLabel* m_lblStyleHint;
    QLabel* m_lblTapHint;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TSetupFormPainter;
    void LoadRecommended();
    void ResetCarousel();
    void ApplyStyleRecord(const tagStyleInfo& info);
    void ShowTempo(int tempo, bool moveDial);
    void PlayDemo();
    void PointerMouse(QEvent* event);
    void BrowseMouse(QEvent* event);
    void PaintPointer(QPainter& p);
    void PaintCarousel(QPainter& p);
    bool OnPointer(QPointF at) const;
    bool OnTapPad(QPointF at) const;
    void PostToMain(uint32_t message, intptr_t wParam, intptr_t lParam);

    TMainForm& m_form;
    AppSession& m_session;
    TSongModel& m_song;
    int m_angle = 0;
    int m_entryMetre = 0, m_entryTempo = 0, m_entryStyle = -1;
    bool m_pointerHover = false, m_pointerHeld = false;
    int m_tapState = 0;
    TapTempo m_taps;
    StyleCarousel m_carousel;
    std::vector<tagStyleInfo> m_styles;
    QTimer m_animation;
    QTimer m_styleHintTimer;
    QTimer m_tapHintTimer;
};

} // namespace melodrift
