#pragma once

// Page 1: recording the sung melody with a count-in, the bars filling with
// the input level, the recognised take handed on to the composer, partial
// re-recording between two markers, playback, key change, volumes and the
// on-screen keyboard. Decisions live in RecordLogic; the engine reports
// through posted messages, so nothing here waits on the audio.

#include <array>
#include <optional>

#include "MessageDispatcher.h"
#include "PlaybackClock.h"
#include "RecordLogic.h"
#include "TScreenPage.h"

class QLabel;
class QListWidget;

namespace melodrift {

struct AppSession;
class TMainForm;
class TPNGButton;
class TSongModel;
class TRecordBarsPanel;
class TVolumeSlider;
class TLevelMeter;
class TKeyboardPanel;

class TRecordForm : public TScreenPage, public TMessageTarget {
    Q_OBJECT
public:
    TRecordForm(TMainForm& form, AppSession& session, QWidget* parent = nullptr);
    ~TRecordForm() override;

    void EnterStep() override;
    void LeaveStep(intptr_t sender) override;
    void StopPlayback() override { Stop(); }
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    // What the buttons and keys do.
    void Record();
    // byUser: the user stopped (a take stopped in its count-in is a cancel);
    // otherwise the engine ended by itself.
    void Stop(bool byUser = true);
    void Play();
    void Pause();
    void ClockTick();
    void TakeRecognised(intptr_t wParam, intptr_t lParam);
    void ToggleModify();
    void ChooseKey(int key);
    void SetKeyboardShown(bool shown);
    void ApplySpeakerVolume(float volume);
    void ApplyMicrophoneVolume(float volume);
    void RecordVolumeFromEngine(int percent);
    void ClickBars(BarPos at);

    bool Running() const { return m_take.running; }
    bool Recording() const { return m_take.recording; }
    BarPos Cursor() const { return m_take.cursor; }
    BarPos Anchor() const { return m_anchor; }
    const TakeTracker& Take() const { return m_take; }
    bool MelodyChanged() const { return m_melodyChanged || m_take.melodyChanged; }
    int NoticeBeats() const { return m_noticeBeats; }
    // Engine answers to takes handled so far.
    int TakesHandled() const { return m_takesHandled; }

    // Controls, named as the form has always named them.
    TPNGButton* m_btnRecord;
    TPNGButton* m_btnStop;
    TPNGButton* m_btnPlay;
    TPNGButton* m_btnPause;
    TPNGButton* m_btnModify;
    TPNGButton* m_btnBeginPos;
    TPNGButton* m_btnEndPos;
    TPNGButton* m_btnWithCompose;
    TPNGButton* m_btnPrevStep;
    TPNGButton* m_btnNextStep;
    TPNGButton* m_btnVolSpeakerSet;
    TPNGButton* m_btnVolMicrophoneSet;
    TPNGButton* m_btnMicSet;
    TPNGButton* m_btnShowKeyboard;
    TPNGButton* m_btnAudioEffect;
    TPNGButton* m_btnKeyChange;
    QListWidget* m_lbKeySelect;
    QLabel* m_lblPlayTime;
    QLabel* m_lblBeat;
    QLabel* m_lblTempo;
    QLabel* m_lblKey;
    QLabel* m_lblNoDevice;
    TRecordBarsPanel* m_panelBarsShow;
    QLabel* m_imgNotice;
    TLevelMeter* m_pbVolLevel;
    TKeyboardPanel* m_pbKeyboard;
    TVolumeSlider* m_sliderSpeaker;
    TVolumeSlider* m_sliderMicrophone;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void PostToMain(uint32_t message, intptr_t wParam);
    void ShowNotice(int beatsToGo);
    void ShowKey();
    void ShowPosition();
    void SetPartial(bool on);
    void MarkerButtons();
    void AfterStopButtons();
    // The buttons, position and autosave once a take has been handled.
    void FinishTakeButtons();
    void CheckInputDevice();
    bool HasStages() const;

    TMainForm& m_form;
    AppSession& m_session;
    TSongModel& m_song;
    PlaybackClock m_clock;
    TakeTracker m_take;
    BarPos m_anchor;
    bool m_melodyChanged = false;
    bool m_stoppedInCountIn = false;
    std::optional<SongBeforeTake> m_beforeTake;   // the song as the running take found it
    int m_noticeBeats = -1;
    int m_takesHandled = 0;
};

} // namespace melodrift
