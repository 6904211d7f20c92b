#pragma once

// Page 2 of the main window: the base accompaniment. The user checks and
// corrects the composer's first result (key, chords, stages, patterns, fills,
// style, timbre library, volumes), generates again and listens.

#include <array>
#include <memory>
#include <thread>

#include "MessageDispatcher.h"
#include "PlaybackClock.h"
#include "TScreenPage.h"

class QLabel;
class QListWidget;

namespace melodrift {

struct AppSession;
class TBasePanel;
class TMainForm;
class TPNGButton;
class TSongModel;
class TVolumePopup;

enum class BaseTool { None, Split, Merge };

class TBaseForm : public TScreenPage, public TMessageTarget {
    Q_OBJECT
public:
    TBaseForm(TMainForm* mainForm, AppSession& session, QWidget* parent = nullptr);
    ~TBaseForm() override;

    void EnterStep() override;
    void LeaveStep(intptr_t sender) override;
    void StopPlayback() override;
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    // Generate ("生成伴奏"): composes off the GUI thread; a second request
    // while one runs is refused. reportFailure shows the composer's failure.
    bool Generate(bool reportFailure = true);
    bool Composing() const { return m_composing; }
    // Processes events until the running composition ended (tests, leaving).
    void WaitForCompose();

    void Play();
    void Pause();
    void Stop();
    bool Playing() const { return m_playing; }
    void ClockTick();

    // Chord editing on the selected slot.
    void PressContent(int bar, int offset);
    void ClickDegree(int tag);
    void ClickAccidental(int tag);
    void ClickQuality(int tag);
    void SetLetterDisplay(bool letters);
    void DeleteSlotChord();
    void Escape();

    void SetTool(BaseTool tool);
    BaseTool Tool() const { return m_tool; }
    // A press or move of a tool at a point of the view (already shifted to
    // the tool's hot spot).
    void ToolAt(int x, int y, bool commit);

    void ChooseKey(int key, bool regenerate);
    void ChooseFont(int index);
    void ChangeStyle();
    // Slider press on the voice (0) or accompaniment (1) track at (x, y).
    void PressVolumeTrack(int which, int x, int y);

    TBasePanel* View() const { return m_view; }
    // The chord buttons as they show: the pressed degree, accidental, quality.
    int PressedDegree() const;

    // Controls, named as the form names them.
    TPNGButton* m_btnReload;
    TPNGButton* m_btnStop;
    TPNGButton* m_btnPlay;
    TPNGButton* m_btnPause;
    TPNGButton* m_btnApart;
    TPNGButton* m_btnCombine;
    std::array<TPNGButton*, 7> m_btnMainKey{};
    std::array<TPNGButton*, 2> m_btnAjustKey{};     // +1 sharp, -1 flat
    std::array<TPNGButton*, 3> m_btnChordType{};    // 1 minor, 2 seventh, 3 minor seventh
    TPNGButton* m_btnAudioEffect;
    QWidget* m_panelMusicInfo;
    QLabel* m_lblPlayTime;
    QLabel* m_lblBeat;
    QLabel* m_lblTempo;
    QLabel* m_lblKey;
    TPNGButton* m_btnKeyChange;
    TBasePanel* m_view;
    TPNGButton* m_btnPrevStep;
    TPNGButton* m_btnNextStep;
    TPNGButton* m_btnVolAudioSet;
    TPNGButton* m_btnVolMusicSet;
    TVolumePopup* m_panelAudioVolSet;
    TVolumePopup* m_panelMusicVolSet;
    TPNGButton* m_btnStyleChange;
    QLabel* m_lblStyleName;
    TPNGButton* m_btnFontChange;
    QLabel* m_lblFontName;
    QListWidget* m_lbKeySelect;
    QListWidget* m_lbFontSelect;
    QLabel* m_lblBusy;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ComposeFinished(bool ok);
    void AfterGenerate(bool ok, bool reportFailure);
    void RenewTools();
    void ShowChord(const struct ChordButtons& chord);
    void DisableChordButtons();
    struct ChordButtons ButtonsChord() const;
    void RenewDegreePictures();
    void RenewLabels();
    void RenewPosition();
    void ClosePopups();
    void ViewPressed(QMouseEvent* event, bool fromMarker);
    void ViewMoved(QMouseEvent* event);
    void OpenMenu(int zone, int bar, int offset, bool fromMarker, const QPoint& globalPos);
    void BarsChanged(int flags);
    void ChordsReset();
    void ApplyVolume(int which, int p);
    bool StyleStillThere();
    void Layout();

    TMainForm* m_main;
    AppSession& m_session;
    TSongModel& m_song;
    PlaybackClock m_clock;
    BaseTool m_tool = BaseTool::None;
    bool m_playing = false;
    bool m_composing = false;
    bool m_pendingReport = false;
    int m_cursorBar = 0;
    double m_cursorOffset = 0;
    int m_startBar = 0;
    double m_startOffset = 0;
    bool m_secondHalf = false;
    int m_initialSlotChord = -1;
    std::array<int, 2> m_volumePos{};
    std::unique_ptr<TSongModel> m_composeCopy;
    std::thread m_composeThread;
    bool m_composeResult = false;
};

} // namespace melodrift
