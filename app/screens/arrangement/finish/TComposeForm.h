#pragma once

// The song-form screen (page 3): the resource list, the compose list (the
// song form itself) and the bar view; drag and drop between them, menus and
// buttons edit the form; "生成伴奏" composes it and Play plays it.

#include <QPoint>

#include "MessageDispatcher.h"
#include "PlaybackClock.h"
#include "TComposeBackup.h"
#include "TMelodyBackup.h"
#include "TScreenPage.h"

class QLabel;
class QListWidget;
class QMouseEvent;
class QSlider;

namespace melodrift {

struct AppSession;
class TComposePanel;
class TMainForm;
class TPNGButton;
class SongFormEditor;

class TComposeForm : public TScreenPage, public TMessageTarget {
    Q_OBJECT
public:
    TComposeForm(TMainForm& mainForm, AppSession& session, QWidget* parent = nullptr);
    ~TComposeForm() override;

    void EnterStep() override;
    void LeaveStep(intptr_t sender) override;
    void StopPlayback() override;
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    // Buttons and menu commands.
    bool GenerateClick();
    void PlayClick();
    void PauseClick();
    void StopClick();
    void AddClick();
    void MoveUpClick();
    void MoveDownClick();
    void RemoveStage(int index);
    void SetStagePattern(int index, int pattern);
    void ToggleStageFill(int index, int offset, int variant);
    void StyleClick();
    // The style dialog for one stage; songStyle puts it back on the song's.
    void StageStyle(int index, bool songStyle);
    void SelectStage(int index);
    int SelectedStage() const;

    // Drag and drop: source 0 the resource list, 1 the compose list, 2 the
    // bar view; positions are global.
    enum DragSource { kFromResource, kFromCompose, kFromView };
    void BeginDrag(int source, int index);
    void DragTo(const QPoint& global);
    void DropAt(const QPoint& global);
    bool Dragging() const { return m_dragSource >= 0; }
    // Whether the pointer's place allows the drop (for the pointer's look).
    bool DropAllowed() const { return m_dropAllowed; }

    // Changes since the last compose (tracker flags).
    int PendingFlags();
    bool IsPlaying() const { return m_playing; }

    QListWidget* m_lbResource;
    QListWidget* m_lbCompose;
    TComposePanel* m_view;
    QLabel* m_imgDelete;
    QLabel* m_lblPlayTime;
    QLabel* m_lblBeat;
    QLabel* m_lblTempo;
    QLabel* m_lblKey;
    QLabel* m_lblDiao;
    QLabel* m_lblStyleName;
    TPNGButton* m_btnReload;
    TPNGButton* m_btnStop;
    TPNGButton* m_btnPlay;
    TPNGButton* m_btnPause;
    TPNGButton* m_btnAudioEffect;
    TPNGButton* m_btnStyleChange;
    TPNGButton* m_btnAdd;
    TPNGButton* m_btnMoveUp;
    TPNGButton* m_btnMoveDown;
    TPNGButton* m_btnPrevStep;
    TPNGButton* m_btnNextStep;
    // Voice (stream 5) and accompaniment (stream 4) levels, 0..100.
    // Side panels: 0 both shown, 1 resource shrunk, 2 compose shrunk, 3 both
    // put away behind the icon strip.
    void SetPanelMode(int mode);
    int PanelMode() const { return m_panelMode; }
    QWidget* m_panelListIcon;
    QSlider* m_sliderVoice;
    QSlider* m_sliderMusic;
    void SetVoiceVolume(int percent);
    void SetMusicVolume(int percent);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void FillResourceList();
    void FillComposeList();
    void AfterEdit(bool structural);
    void UpdateButtons();
    void UpdateLabels();
    void TakeSnapshots();
    bool RunCompose(bool combine);
    void SetCursor(int bar, double offset);
    void GotoStep(int page);
    void ViewPressed(QMouseEvent* event);
    void ViewMenu(int stage, int zone, int bar, const QPoint& global);
    int ComposeListInsertion(const QPoint& viewportPos) const;
    int DropTarget(const QPoint& global, int* where) const;

    TMainForm& m_main;
    AppSession& m_session;
    TSongModel& m_song;
    TComposeBackup m_composeBackup;
    TMelodyBackup m_melodyBackup;
    PlaybackClock m_clock;
    bool m_playing = false;
    bool m_paused = false;
    int m_cursorBar = 0;
    double m_cursorOffset = 0;
    int m_startBar = 0;
    int m_dragSource = -1;
    int m_dragIndex = -1;
    bool m_dropAllowed = false;
    QPoint m_pressAt;
    int m_panelMode = 0;
};

} // namespace melodrift
