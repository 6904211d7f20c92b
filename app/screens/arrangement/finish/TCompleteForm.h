#pragma once

// The complete screen (page 4): the final take sung over the composed
// accompaniment (whole or a part of it), the level curve, transposing the
// accompaniment, speaker and microphone levels, and on to save or upload.

#include "CompleteLogic.h"
#include "MessageDispatcher.h"
#include "PlaybackClock.h"
#include "TScreenPage.h"

class QLabel;
class QListWidget;
class QMouseEvent;
class QSlider;

namespace melodrift {

struct AppSession;
class TCompletePanel;
class TMainForm;
class TPNGButton;

class TCompleteForm : public TScreenPage, public TMessageTarget {
    Q_OBJECT
public:
    TCompleteForm(TMainForm& mainForm, AppSession& session, QWidget* parent = nullptr);
    ~TCompleteForm() override;

    void EnterStep() override;
    void LeaveStep(intptr_t sender) override;
    void StopPlayback() override;
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    void RecordClick();
    void PlayClick();
    void PauseClick();
    void StopClick();
    void ModifyClick();
    void BeginToolClick();
    void EndToolClick();
    void ChooseKey(int key);
    void SetSpeakerVolume(int percent);
    void SetMicrophoneVolume(int percent);

    bool IsRecording() const { return m_recording; }
    bool IsPlaying() const { return m_playing; }
    int AccompanimentKey() const;
    CompleteState& State() { return m_state; }
    int MarkerTool() const { return m_tool; }

    TCompletePanel* m_view;
    TPNGButton* m_btnRecord;
    TPNGButton* m_btnStop;
    TPNGButton* m_btnPlay;
    TPNGButton* m_btnPause;
    TPNGButton* m_btnModify;
    TPNGButton* m_btnBeginPos;
    TPNGButton* m_btnEndPos;
    TPNGButton* m_btnAudioEffect;
    TPNGButton* m_btnKeyChange;
    QListWidget* m_lbKeySelect;
    QLabel* m_lblPlayTime;
    QLabel* m_lblBeat;
    QLabel* m_lblTempo;
    QLabel* m_lblKey;
    QSlider* m_sliderSpeaker;
    QSlider* m_sliderMicrophone;
    QWidget* m_pbVolLevel;
    TPNGButton* m_btnMicSet;
    TPNGButton* m_btnPrevStep;
    TPNGButton* m_btnUpload;
    TPNGButton* m_btnSave;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetCursor(int bar, double offset);
    void EnableIdleControls(bool idle);
    void ViewPressed(QMouseEvent* event);
    void ViewDoubleClicked(QMouseEvent* event);
    void UpdateKeyLabel();

    TMainForm& m_main;
    AppSession& m_session;
    TSongModel& m_song;
    CompleteState m_state;
    PlaybackClock m_clock;
    bool m_playing = false, m_paused = false, m_recording = false, m_recorded = false;
    bool m_takePending = false;   // a recording whose take the engine has not reported yet
    int m_startBar = 0;
    double m_startOffset = 0;
    int m_tool = 0;           // 0 none, 1 begin marker, 2 end marker
    int m_stopBar = 0, m_stopOffset = 0;
    QPoint m_pressAt;
};

} // namespace melodrift
