#include "TRecordForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>

#include "AppSession.h"
#include "EngineTables.h"
#include "Pipeline.h"
#include "RecordWidgets.h"
#include "RecordingArt.h"
#include "SkinArt.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TRecordBarsPanel.h"

namespace melodrift {

namespace {

TPNGButton* MakeButton(QWidget* parent, const QString& caption, const QString& hint, QRect at)
{
    auto* b = new TPNGButton(parent);
    b->SetPngImg(skin::ButtonStrip(at.width(), at.height(), 4, caption));
    b->SetHint(hint);
    b->setGeometry(at);
    return b;
}

QLabel* MakeLabel(QWidget* parent, QRect at, int pixels = 14, bool bold = false)
{
    auto* l = new QLabel(parent);
    l->setFont(skin::SkinFont(pixels, bold));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, skin::kInk);
    l->setPalette(pal);
    l->setGeometry(at);
    return l;
}

} // namespace

TRecordForm::TRecordForm(TMainForm& form, AppSession& session, QWidget* parent)
    : TScreenPage(parent), m_form(form), m_session(session), m_song(session.song)
{
    RegisterMessageTarget(this, this);
    setFocusPolicy(Qt::StrongFocus);
    BuildControls();
}

TRecordForm::~TRecordForm()
{
    m_clock.Stop();
    UnregisterMessageTarget(this);
}

void TRecordForm::BuildControls()
{
    m_lblBeat = MakeLabel(this, QRect(20, 10, 60, 26), 16, true);
    m_lblTempo = MakeLabel(this, QRect(80, 10, 110, 26), 16, true);
    m_lblKey = MakeLabel(this, QRect(190, 10, 80, 26), 16, true);
    m_btnKeyChange = MakeButton(this, QStringLiteral("修改调号"), QStringLiteral("修改旋律调号"), QRect(270, 8, 84, 30));
    m_lblPlayTime = MakeLabel(this, QRect(370, 10, 120, 26), 16, true);
    m_lblPlayTime->setText(QStringLiteral("00:00:000"));
    m_lblPlayTime->setCursor(Qt::PointingHandCursor);
    m_lblPlayTime->installEventFilter(this);
    m_btnVolSpeakerSet = MakeButton(this, QStringLiteral("音箱"), QStringLiteral("设置扬声器音量"), QRect(520, 8, 52, 30));
    m_btnVolMicrophoneSet = MakeButton(this, QStringLiteral("话筒"), QStringLiteral("设置麦克风音量"), QRect(576, 8, 52, 30));
    m_btnMicSet = MakeButton(this, QStringLiteral("设备"), QStringLiteral("选择输入设备"), QRect(632, 8, 52, 30));
    m_btnShowKeyboard = MakeButton(this, QStringLiteral("键盘"), QStringLiteral("模拟键盘"), QRect(688, 8, 52, 30));
    m_btnAudioEffect = MakeButton(this, QStringLiteral("音效"), QStringLiteral("音频效果设置"), QRect(744, 8, 52, 30));

    m_panelBarsShow = new TRecordBarsPanel(&m_song, this);
    m_panelBarsShow->setGeometry(10, 46, 790, 334);
    m_imgNotice = new QLabel(m_panelBarsShow);
    m_imgNotice->setPixmap(recording::NoticeImage(3));
    m_imgNotice->resize(recording::NoticeImage(3).size());
    m_imgNotice->hide();

    m_pbVolLevel = new TLevelMeter(this);
    m_pbVolLevel->move(20, 392);
    m_lblNoDevice = MakeLabel(this, QRect(200, 386, 590, 24), 13);
    m_lblNoDevice->setStyleSheet(QStringLiteral("color:#B03A10;"));
    m_lblNoDevice->hide();

    m_btnRecord = MakeButton(this, QStringLiteral("录音"), QStringLiteral("开始录音"), QRect(20, 416, 72, 34));
    m_btnStop = MakeButton(this, QStringLiteral("停止"), QStringLiteral("停止"), QRect(98, 416, 72, 34));
    m_btnPlay = MakeButton(this, QStringLiteral("播放"), QStringLiteral("播放"), QRect(176, 416, 72, 34));
    m_btnPause = MakeButton(this, QStringLiteral("暂停"), QStringLiteral("暂停播放"), QRect(176, 416, 72, 34));
    m_btnModify = MakeButton(this, QStringLiteral("部分重录"), QStringLiteral("部分重录"), QRect(266, 416, 84, 34));
    m_btnBeginPos = MakeButton(this, QStringLiteral("起点"), QStringLiteral("设置重录部分起点"), QRect(356, 416, 60, 34));
    m_btnEndPos = MakeButton(this, QStringLiteral("终点"), QStringLiteral("设置重录部分终点"), QRect(422, 416, 60, 34));
    m_btnWithCompose = MakeButton(this, QStringLiteral("伴奏"), QStringLiteral("重录时播放伴奏"), QRect(488, 416, 60, 34));
    m_btnPrevStep = MakeButton(this, QStringLiteral("上一步"), QStringLiteral("重新设置歌曲节拍、速度和风格"),
                               QRect(604, 456, 96, 36));
    m_btnNextStep = MakeButton(this, QStringLiteral("下一步"), QStringLiteral("配置歌曲和声与分段"), QRect(704, 456, 96, 36));
    m_btnPause->hide();

    m_lbKeySelect = new QListWidget(this);
    m_lbKeySelect->setFont(skin::SkinFont(13));
    for (int k = 0; k < 12; ++k)
        m_lbKeySelect->addItem(QString::fromLatin1(KeyName(k)));
    m_lbKeySelect->setGeometry(270, 40, 84, 12 * 20 + 4);
    m_lbKeySelect->hide();

    m_sliderSpeaker = new TVolumeSlider(this);
    m_sliderSpeaker->move(530, 40);
    m_sliderSpeaker->hide();
    m_sliderMicrophone = new TVolumeSlider(this);
    m_sliderMicrophone->move(586, 40);
    m_sliderMicrophone->hide();
    m_pbKeyboard = new TKeyboardPanel(this);
    m_pbKeyboard->move(500, 320);
    m_pbKeyboard->hide();
    m_pbKeyboard->noteOn = [](int note) { Engines().mm.MM_RealTimeMIDINoteOn(note); };
    m_pbKeyboard->noteOff = [](int note) { Engines().mm.MM_RealTimeMIDINoteOff(note); };

    connect(m_btnRecord, &TPNGButton::clicked, this, &TRecordForm::Record);
    connect(m_btnStop, &TPNGButton::clicked, this, [this] { Stop(); });
    connect(m_btnPlay, &TPNGButton::clicked, this, &TRecordForm::Play);
    connect(m_btnPause, &TPNGButton::clicked, this, &TRecordForm::Pause);
    connect(m_btnModify, &TPNGButton::clicked, this, &TRecordForm::ToggleModify);
    connect(m_btnBeginPos, &TPNGButton::clicked, this, [this] {
        m_btnBeginPos->SetDown(!m_btnBeginPos->Down());
        m_btnEndPos->SetDown(false);
        m_panelBarsShow->placing = m_btnBeginPos->Down() ? 1 : 0;
    });
    connect(m_btnEndPos, &TPNGButton::clicked, this, [this] {
        m_btnEndPos->SetDown(!m_btnEndPos->Down());
        m_btnBeginPos->SetDown(false);
        m_panelBarsShow->placing = m_btnEndPos->Down() ? 2 : 0;
    });
    connect(m_btnWithCompose, &TPNGButton::clicked, this, [this] { m_btnWithCompose->SetDown(!m_btnWithCompose->Down()); });
    connect(m_btnPrevStep, &TPNGButton::clicked, this, [this] { PostToMain(UM_GOTO_STEP, 0); });
    connect(m_btnNextStep, &TPNGButton::clicked, this, [this] { PostToMain(UM_GOTO_STEP, 2); });
    connect(m_btnAudioEffect, &TPNGButton::clicked, this, [this] {
        Stop();
        PostToMain(UM_AUDIO_EFFECTS, 0);
    });
    connect(m_btnMicSet, &TPNGButton::clicked, this, [this] {
        Stop();
        m_sliderMicrophone->hide();
        PostToMain(UM_MIC_SETUP, 0);
    });
    connect(m_btnVolSpeakerSet, &TPNGButton::clicked, this, [this] { m_sliderSpeaker->setVisible(m_sliderSpeaker->isHidden()); });
    connect(m_btnVolMicrophoneSet, &TPNGButton::clicked, this,
            [this] { m_sliderMicrophone->setVisible(m_sliderMicrophone->isHidden()); });
    connect(m_sliderSpeaker, &TVolumeSlider::volumeApplied, this, &TRecordForm::ApplySpeakerVolume);
    connect(m_sliderMicrophone, &TVolumeSlider::volumeApplied, this, &TRecordForm::ApplyMicrophoneVolume);
    connect(m_btnShowKeyboard, &TPNGButton::clicked, this, [this] { SetKeyboardShown(m_pbKeyboard->isHidden()); });
    connect(m_btnKeyChange, &TPNGButton::clicked, this, [this] {
        m_lbKeySelect->setCurrentRow(m_song.key);
        m_lbKeySelect->setVisible(m_lbKeySelect->isHidden());
        m_lbKeySelect->raise();
    });
    connect(m_lbKeySelect, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        m_lbKeySelect->hide();
        ChooseKey(m_lbKeySelect->row(item));
    });
    connect(m_panelBarsShow, &TRecordBarsPanel::clickedAt, this, &TRecordForm::ClickBars);
    connect(m_panelBarsShow, &TRecordBarsPanel::rangeDragged, this, [this] {
        SetPartial(true);
        MarkerButtons();
    });
    connect(m_panelBarsShow, &TRecordBarsPanel::markerPlaced, this, [this] {
        m_btnBeginPos->SetDown(false);
        m_btnEndPos->SetDown(false);
    });
    connect(m_panelBarsShow, &TRecordBarsPanel::rightClicked, this, [this] {
        if (!m_btnModify->Down())
            return;
        if (m_btnBeginPos->Down() || m_btnEndPos->Down()) {
            m_btnBeginPos->SetDown(false);
            m_btnEndPos->SetDown(false);
            m_panelBarsShow->placing = 0;
        } else {
            SetPartial(false);
        }
    });
}

void TRecordForm::PostToMain(uint32_t message, intptr_t wParam)
{
    MDP_PostMessage(WindowHandle(&m_form), message, wParam,
                    message == UM_GOTO_STEP ? reinterpret_cast<intptr_t>(WindowHandle(this)) : 0);
}

bool TRecordForm::event(QEvent* event)
{
    if (DeliverMessageEvent(this, event))
        return true;
    if (event->type() == QEvent::MouseButtonPress) {
        // A press outside the pop-ups closes them.
        m_lbKeySelect->hide();
    }
    return TScreenPage::event(event);
}

intptr_t TRecordForm::HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case UM_CLOCK_TICK: ClockTick(); return 1;
    case UM_ENGINE_STOPPED: {
        const bool lost = wParam == MM_STOPPED_DEVICE_LOST && m_take.running && m_take.recording;
        Stop(false);
        if (lost)
            ShowMessageBox(QString::fromUtf8(kDeviceLostMessage), 16);
        return 1;
    }
    case UM_TAKE_RECOGNISED: TakeRecognised(wParam, lParam); return 1;
    case UM_RECORD_VOLUME: RecordVolumeFromEngine(static_cast<int>(wParam)); return 1;
    default: return 0;
    }
}

bool TRecordForm::HasStages() const
{
    return !m_song.stages.empty();
}

void TRecordForm::ShowKey()
{
    const bool known = m_song.key >= 0 && m_song.key < 12;
    m_lblKey->setText(QStringLiteral("调号 ") + (known ? QString::fromLatin1(KeyName(m_song.key)) : QStringLiteral("-")));
    m_btnKeyChange->setVisible(known);
}

void TRecordForm::ShowPosition()
{
    if (!m_song.Flag(kFlagMelody) && !m_take.recording) {
        m_lblPlayTime->setText(QStringLiteral("--:--:---"));
        return;
    }
    m_lblPlayTime->setText(QString::fromStdString(FormatPosition(m_song, m_take.cursor.bar, m_take.cursor.offset)));
    m_lblPlayTime->setToolTip(m_song.Flag(kFlagBarPositions) ? QStringLiteral("当前位置(节拍)")
                                                              : QStringLiteral("当前位置(时间)"));
}

void TRecordForm::CheckInputDevice()
{
    // Without a capture device the screen says so at once; everything else
    // (playback, the next steps) keeps working.
    MM_RecordDeviceInfo devices[20];
    const auto& mm = Engines().mm;
    const int count = mm.MM_GetRecordDeviceInfo ? mm.MM_GetRecordDeviceInfo(20, devices) : 0;
    m_lblNoDevice->setText(QStringLiteral("没有找到录音设备：请连接麦克风后点击“设备”选择输入设备。"));
    m_lblNoDevice->setVisible(count <= 0);
}

void TRecordForm::EnterStep()
{
    const auto& mm = Engines().mm;
    m_lblBeat->setText(QString::fromLatin1(MetreName(m_song.metre)));
    m_lblTempo->setText(QStringLiteral("速度 %1").arg(m_song.tempo));
    ShowKey();
    if (m_song.recordVolume < 0)
        m_song.recordVolume = std::max(0, mm.MM_GetStreamVolume(1)) / 100.0f;
    else
        mm.MM_SetStreamVolume(1, m_song.recordVolume);
    if (m_song.speakerVolume < 0)
        m_song.speakerVolume = std::max(0, mm.MM_GetStreamVolume(0)) / 100.0f;
    else
        mm.MM_SetStreamVolume(0, m_song.speakerVolume);
    m_sliderMicrophone->SetVolume(m_song.recordVolume);
    m_sliderSpeaker->SetVolume(m_song.speakerVolume);

    SetPartial(false);
    const bool melody = m_song.Flag(kFlagMelody);
    m_btnModify->SetEnabled(melody);
    m_btnNextStep->SetEnabled(melody);
    m_btnAudioEffect->SetEnabled(melody);
    m_btnPlay->SetEnabled(melody);
    m_btnRecord->SetEnabled(true);
    m_btnRecord->SetDown(false);
    m_btnPause->hide();
    m_btnPlay->show();
    m_btnStop->SetEnabled(false);
    m_panelBarsShow->SetBarCount(static_cast<int>(m_song.bars.size()));
    m_take.cursor = m_anchor = BarPos{};
    m_panelBarsShow->SetCursor(0, 0);
    m_melodyChanged = false;
    m_take.melodyChanged = false;
    ShowPosition();
    CheckInputDevice();
    setFocus();
}

void TRecordForm::SetPartial(bool on)
{
    m_btnModify->SetDown(on);
    m_panelBarsShow->partial = on;
    if (!on) {
        m_panelBarsShow->range.Clear();
        m_panelBarsShow->placing = 0;
        m_btnBeginPos->SetDown(false);
        m_btnEndPos->SetDown(false);
    }
    MarkerButtons();
    m_panelBarsShow->update();
}

void TRecordForm::MarkerButtons()
{
    const bool on = m_btnModify->Down() && !m_take.recording;
    m_btnBeginPos->SetEnabled(on);
    m_btnEndPos->SetEnabled(on);
    m_btnWithCompose->SetEnabled(on && HasStages());
}

void TRecordForm::ToggleModify()
{
    SetPartial(!m_btnModify->Down());
}

void TRecordForm::ShowNotice(int beatsToGo)
{
    m_noticeBeats = beatsToGo;
    if (beatsToGo < 0) {
        m_imgNotice->hide();
        return;
    }
    m_imgNotice->setPixmap(recording::NoticeImage(beatsToGo));
    m_imgNotice->move((m_panelBarsShow->width() - m_imgNotice->width()) / 2,
                      (m_panelBarsShow->height() - m_imgNotice->height()) / 2);
    m_imgNotice->show();
    m_imgNotice->raise();
}

void TRecordForm::Record()
{
    if (m_take.running || !m_btnRecord->Enabled())
        return;
    const auto& mm = Engines().mm;
    const bool partial = m_btnModify->Down();
    const RecordRange& range = m_panelBarsShow->range;
    BarPos start{};
    double punchIn = -1, punchOut = -1;
    int mode = MM_RECORD_MELODY;
    int32_t lastLevel = 0;
    if (partial) {
        start = PartialStart(m_take.cursor, range);
        const BarPos levelAt = range.begin.value_or(BarPos{});
        if (levelAt.bar >= 0 && levelAt.bar < static_cast<int>(m_song.bars.size()))
            lastLevel = m_song.bars[static_cast<size_t>(levelAt.bar)].levels[static_cast<size_t>(levelAt.offset)];
        punchIn = range.begin ? range.begin->Bars() : -1;
        punchOut = range.end ? range.end->Bars() : -1;
        mode = m_btnWithCompose->Down() && m_btnWithCompose->Enabled() ? MM_RECORD_MELODY_ACC : MM_RECORD_MELODY;
    } else if (m_song.Flag(kFlagMelody) &&
               ShowMessageBox(QStringLiteral("确定清除当前内容重新录音？"), 36) != kResultYes) {
        return;
    }
    const int result = mm.MM_Record(WindowHandle(this), start.Bars(), punchIn, punchOut, mode);
    if (result != 0) {
        // The song is cleared only once the engine records, so a device that
        // cannot start leaves the previous take as it was.
        ShowMessageBox(RecordFailureMessage(result), 16);
        if (RecordFailureForgetsDevice(result)) {
            m_session.app.recordDevice = -1;
            m_session.app.recordInput = -1;
            PostToMain(UM_MIC_SETUP, 0);
        }
        return;
    }
    m_stoppedInCountIn = false;
    m_beforeTake = SongBeforeTake::Of(m_song);
    if (!partial) {
        m_song.ClearSong(kClearAll);
        m_song.SetFlag(kFlagMelody, false);
        m_song.voiceVolume = 1;
        mm.MM_SetStreamVolume(2, 1.0f);
        tagMelodyBar& countIn = m_song.AddBar();
        countIn.voiced = true;
        countIn.leadIn = true;
        m_panelBarsShow->SetBarCount(1);
        ShowNotice(CountInBeatsToGo(m_song.metre, 0));
    }
    m_take.StartRecording(start, !partial, partial, range, lastLevel);
    m_panelBarsShow->locked = true;
    m_panelBarsShow->SetPlaying(true);
    m_panelBarsShow->SetCursor(start.bar, static_cast<int>(start.offset));
    m_clock.Start(WindowHandle(this));
    m_lblKey->setText(QStringLiteral("调号 -"));
    m_btnKeyChange->hide();
    m_btnRecord->SetDown(true);
    m_btnRecord->SetEnabled(false);
    m_btnStop->SetEnabled(true);
    m_btnPlay->SetEnabled(false);
    m_btnPause->hide();
    for (TPNGButton* b : {m_btnModify, m_btnBeginPos, m_btnEndPos, m_btnWithCompose, m_btnAudioEffect, m_btnPrevStep,
                          m_btnNextStep})
        b->SetEnabled(false);
    m_form.HandleMessage(UM_AUTOSAVE, 0, 0);
    PostToMain(UM_STEP_ENABLE, 2);
}

void TRecordForm::ClockTick()
{
    if (!m_take.running)
        return;
    const auto& mm = Engines().mm;
    const int32_t level = mm.MM_GetStreamVolume(m_take.recording ? 1 : 2);
    const int prevBar = m_take.cursor.bar;
    const TakeTracker::Tick t = m_take.Advance(m_song, level);
    m_pbVolLevel->SetSegments(MeterSegments(level));
    if (t.beatsToGo >= 0)
        ShowNotice(t.beatsToGo);
    else if (!m_take.countIn && m_noticeBeats >= 0)
        ShowNotice(-1);
    if (t.reachedEnd) {
        Stop();
        return;
    }
    if (t.appended)
        m_panelBarsShow->SetBarCount(static_cast<int>(m_song.bars.size()));
    if (t.newBar)
        m_panelBarsShow->RepaintBar(prevBar, 0, 119, kContentStripBit);
    if (t.moved) {
        m_panelBarsShow->RepaintBar(t.bar, t.fromTick, t.toTick, kContentStripBit);
        m_panelBarsShow->SetCursor(t.bar, static_cast<int>(m_take.cursor.offset));
    }
    ShowPosition();
}

void TRecordForm::AfterStopButtons()
{
    m_btnStop->SetEnabled(false);
    m_btnRecord->SetEnabled(true);
    m_btnRecord->SetDown(false);
    m_btnPlay->show();
    m_btnPlay->SetEnabled(m_song.Flag(kFlagMelody));
    m_btnPlay->SetDown(false);
    m_btnPause->hide();
    m_btnPrevStep->SetEnabled(true);
}

void TRecordForm::Stop(bool byUser)
{
    if (m_take.running) {
        m_clock.Stop();
        Engines().mm.MM_Stop();
        m_pbVolLevel->SetSegments(0);
        if (m_take.recording)
            m_stoppedInCountIn = byUser && m_take.countIn;
        m_take.Stop();
    }
    m_panelBarsShow->locked = false;
    m_panelBarsShow->SetPlaying(false);
    if (HasStages()) {
        m_btnModify->SetEnabled(true);
        MarkerButtons();
        PostToMain(UM_STEP_ENABLE, 31);
    }
    ShowNotice(-1);
    AfterStopButtons();
    m_take.cursor = m_anchor;
    m_panelBarsShow->SetCursor(m_anchor.bar, static_cast<int>(m_anchor.offset));
    ShowPosition();
}

void TRecordForm::Play()
{
    if (m_take.running || !m_btnPlay->Enabled() || m_btnPlay->isHidden())
        return;
    const auto& mm = Engines().mm;
    mm.MM_SetStreamVolume(2, 1.0f);
    if (mm.MM_Play(WindowHandle(this), m_take.cursor.Bars(), MM_PLAY_TAKE) != 0)
        return;
    m_take.StartPlaying(m_take.cursor);
    m_panelBarsShow->SetPlaying(true);
    m_clock.Start(WindowHandle(this));
    m_btnRecord->SetEnabled(false);
    m_btnPlay->SetDown(true);
    m_btnPlay->hide();
    m_btnPause->show();
    m_btnStop->SetEnabled(true);
}

void TRecordForm::Pause()
{
    if (!m_take.running || m_take.recording)
        return;
    m_clock.Stop();
    Engines().mm.MM_Stop();
    m_take.Stop();
    m_panelBarsShow->SetPlaying(false);
    m_pbVolLevel->SetSegments(0);
    m_btnPause->hide();
    m_btnPlay->show();
    m_btnPlay->SetDown(false);
    m_btnRecord->SetEnabled(true);
}

void TRecordForm::TakeRecognised(intptr_t wParam, intptr_t lParam)
{
    const auto& mm = Engines().mm;
    const int notes = static_cast<int>(wParam & 0xFFFF);
    const int latency = static_cast<int>((wParam >> 16) & 0xFFFF);
    const int leadIn = static_cast<int>(lParam & 0xFFFF);
    const int valid = static_cast<int>((lParam >> 16) & 0xFFFF);
    const bool partial = m_btnModify->Down();
    if (m_take.running)
        Stop(false);
    if (valid > 0) {
        ShowMessageBox(RecognisedInformation(notes, valid), 64);
        mm.MM_SetStreamVolume(2, m_song.voiceVolume);
        m_song.SetFlag(kFlagMelody, true);
        if (!partial && !m_song.bars.empty() && m_song.bars.front().leadIn)
            m_song.bars.erase(m_song.bars.begin());
        // The engine replaced part of the take, however far the clock got.
        if (partial)
            m_melodyChanged = true;
        int32_t key = -1;
        mm.MM_GetMelodyInfo(&key, 0, 0);
        m_song.key = key;
        ShowKey();
        SubmitMelody(m_song);
    } else if (m_beforeTake && m_beforeTake->flags[kFlagMelody] && mm.MM_GetMelodyInfo(nullptr, 0, 0) > 0) {
        // The engine kept the previous take and melody: so does the song.
        if (!m_stoppedInCountIn)
            ShowMessageBox(QString::fromUtf8(kInvalidTakeMessage), 16);
        m_beforeTake->RestoreInto(m_song);
        m_beforeTake.reset();
        mm.MM_SetStreamVolume(2, m_song.voiceVolume);
        ShowKey();
        m_panelBarsShow->SetBarCount(static_cast<int>(m_song.bars.size()));
        if (m_btnModify->Down())
            MarkerButtons();
        PostToMain(UM_STEP_ENABLE, 31);
        FinishTakeButtons();
        return;
    } else {
        // A take stopped during its count-in was cancelled, not a failure.
        if (!m_stoppedInCountIn)
            ShowMessageBox(QString::fromUtf8(kInvalidTakeMessage), 16);
        SetPartial(false);
        m_btnPlay->SetEnabled(false);
        m_song.SetFlag(kFlagMelody, false);
        m_song.SetFlag(kFlagLeadingRest, false);
        m_song.key = -1;
        ShowKey();
    }
    if (leadIn > 0)
        m_panelBarsShow->range.Clear();
    AlignRecognisedTake(m_song, leadIn, valid, latency);
    m_panelBarsShow->SetBarCount(static_cast<int>(m_song.bars.size()));
    if (m_btnModify->Down())
        MarkerButtons();
    if (valid > 0) {
        m_song.lastComposeKey = -1;
        PostToMain(UM_STEP_ENABLE, 31);
        // Only a take that ends on this page moves on by itself.
        if (m_form.CurrentPage() == 1)
            PostToMain(UM_GOTO_STEP, 4);
    } else {
        PostToMain(UM_STEP_ENABLE, 3);
    }
    m_beforeTake.reset();
    FinishTakeButtons();
}

void TRecordForm::FinishTakeButtons()
{
    const bool melody = m_song.Flag(kFlagMelody);
    m_btnPrevStep->SetEnabled(true);
    m_btnNextStep->SetEnabled(melody);
    m_btnPlay->SetEnabled(melody);
    m_btnAudioEffect->SetEnabled(melody);
    m_btnModify->SetEnabled(melody);
    AfterStopButtons();
    ShowPosition();
    ++m_takesHandled;
    m_form.HandleMessage(UM_AUTOSAVE, 1, 0);
}

void TRecordForm::ChooseKey(int key)
{
    if (key < 0 || key > 11 || key == m_song.key)
        return;
    m_song.key = key;
    ShowKey();
    SubmitMelody(m_song);
    m_melodyChanged = true;
}

void TRecordForm::ClickBars(BarPos at)
{
    if (m_take.recording)
        return;
    m_take.cursor = m_anchor = at;
    m_panelBarsShow->SetCursor(at.bar, static_cast<int>(at.offset));
    ShowPosition();
    if (m_take.running)
        Engines().mm.MM_Play(WindowHandle(this), at.Bars(), MM_PLAY_TAKE);
}

void TRecordForm::SetKeyboardShown(bool shown)
{
    const auto& mm = Engines().mm;
    if (shown == !m_pbKeyboard->isHidden())
        return;
    if (shown) {
        if (mm.MM_CreateRealTimeMIDIStream(0) != 0) {
            ShowMessageBox(QStringLiteral("无法打开模拟键盘的音源。"), 16);
            return;
        }
        m_pbKeyboard->show();
        m_pbKeyboard->raise();
    } else {
        m_pbKeyboard->hide();
        mm.MM_FreeRealTimeMIDIStream(0);
    }
    m_btnShowKeyboard->SetDown(shown);
}

void TRecordForm::ApplySpeakerVolume(float volume)
{
    m_song.speakerVolume = volume;
    Engines().mm.MM_SetStreamVolume(0, volume);
}

void TRecordForm::ApplyMicrophoneVolume(float volume)
{
    m_song.recordVolume = volume;
    Engines().mm.MM_SetStreamVolume(1, volume);
}

void TRecordForm::RecordVolumeFromEngine(int percent)
{
    percent = std::clamp(percent, 0, 100);
    m_song.recordVolume = percent / 100.0f;
    m_sliderMicrophone->SetVolume(m_song.recordVolume);
}

void TRecordForm::LeaveStep(intptr_t)
{
    m_song.SetFlag(kFlagLeftByStepBar, true);
    Stop();
    SetKeyboardShown(false);
    m_sliderMicrophone->hide();
    m_sliderSpeaker->hide();
    m_lbKeySelect->hide();
    if (MelodyChanged()) {
        m_song.ClearSong(kClearChordsAndFills | kClearStages | kClearSongForm | kClearFinalTake);
        m_melodyChanged = false;
        m_take.melodyChanged = false;
    }
}

void TRecordForm::keyPressEvent(QKeyEvent* event)
{
    auto press = [](TPNGButton* b) {
        if (b->Enabled() && !b->isHidden())
            emit b->clicked();
    };
    switch (event->key()) {
    case Qt::Key_Escape:
        m_sliderMicrophone->hide();
        m_sliderSpeaker->hide();
        SetKeyboardShown(false);
        return;
    case Qt::Key_Space:
        if (!m_btnPause->isHidden())
            Pause();
        else if (!m_btnPlay->isHidden() && m_btnPlay->Enabled())
            Play();
        else if (m_btnStop->Enabled())
            Stop();
        return;
    case Qt::Key_B: press(m_btnBeginPos); return;
    case Qt::Key_E: press(m_btnEndPos); return;
    case Qt::Key_K: press(m_btnWithCompose); return;
    case Qt::Key_P: press(m_btnModify); return;
    case Qt::Key_R: Record(); return;
    case Qt::Key_W:
        Stop();
        m_anchor = m_take.cursor = BarPos{};
        m_panelBarsShow->SetCursor(0, 0);
        ShowPosition();
        return;
    case Qt::Key_F8: press(m_btnPrevStep); return;
    case Qt::Key_F9: press(m_btnNextStep); return;
    default: QApplication::sendEvent(&m_form, event);
    }
}

bool TRecordForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lblPlayTime && event->type() == QEvent::MouseButtonPress) {
        m_song.SetFlag(kFlagBarPositions, !m_song.Flag(kFlagBarPositions));
        ShowPosition();
        return true;
    }
    return TScreenPage::eventFilter(watched, event);
}

void TRecordForm::resizeEvent(QResizeEvent* event)
{
    TScreenPage::resizeEvent(event);
    // The bar view takes the room a larger window gives.
    const int w = std::max(810, width()), h = std::max(500, height());
    m_panelBarsShow->setGeometry(10, 46, w - 20, h - 166);
    const int dy = h - 500;
    m_pbVolLevel->move(20, 392 + dy);
    m_lblNoDevice->move(200, 386 + dy);
    for (TPNGButton* b : {m_btnRecord, m_btnStop, m_btnPlay, m_btnPause, m_btnModify, m_btnBeginPos, m_btnEndPos,
                          m_btnWithCompose})
        b->move(b->x(), 416 + dy);
    m_btnPrevStep->move(w - 206, 456 + dy);
    m_btnNextStep->move(w - 106, 456 + dy);
}

void TRecordForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, skin::PageBackground(width(), height()));
}

} // namespace melodrift
