#include "TCompleteForm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>

#include "AppSession.h"
#include "EngineTables.h"
#include "FinishWidgets.h"
#include "Pipeline.h"
#include "SongModel.h"
#include "TCompletePanel.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "recording/RecordLogic.h"

namespace melodrift {

namespace {

const char* const kKeyItems[12] = {"    C", "  bD", "    D", "  bE", "    E", "    F",
                                   "  #F", "    G", "  bA", "    A", "  bB", "    B"};

// The input level meter: 53 segments coloured by height.
class LevelMeter : public QWidget {
public:
    explicit LevelMeter(QWidget* parent) : QWidget(parent) { setFixedSize(158, 13); }
    void SetValue(int v)
    {
        if (v != m_value) {
            m_value = v;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x3C, 0x2B, 0x17));
        for (int i = 0; i < 53; ++i) {
            QColor c = i <= 21 ? QColor(0x46, 0x9A, 0x08) : i <= 31 ? QColor(0xDD, 0xF1, 0x02)
                     : i <= 41 ? QColor(0xDD, 0x7A, 0x00) : i <= 51 ? QColor(0xD7, 0x4E, 0x02) : QColor(0xFF, 0, 0);
            if (i >= m_value)
                c = c.darker(330);
            p.fillRect(QRect(2 + i * 3, 2, 2, 9), c);
        }
    }

private:
    int m_value = 0;
};

} // namespace

TCompleteForm::TCompleteForm(TMainForm& mainForm, AppSession& session, QWidget* parent)
    : TScreenPage(parent), m_main(mainForm), m_session(session), m_song(session.song), m_state(session.song)
{
    m_btnRecord = finishui::Button(this, 44, 30, QStringLiteral("录音"), QStringLiteral("开始录音"));
    m_btnStop = finishui::Button(this, 44, 30, QStringLiteral("停止"), QStringLiteral("停止"));
    m_btnPlay = finishui::Button(this, 44, 30, QStringLiteral("播放"), QStringLiteral("播放"));
    m_btnPause = finishui::Button(this, 44, 30, QStringLiteral("暂停"), QStringLiteral("暂停播放"));
    m_btnModify = finishui::Button(this, 72, 30, QStringLiteral("部分重录"), QStringLiteral("部分重录"));
    m_btnBeginPos = finishui::Button(this, 44, 30, QStringLiteral("起点"), QStringLiteral("设置重录部分起点"));
    m_btnEndPos = finishui::Button(this, 44, 30, QStringLiteral("终点"), QStringLiteral("设置重录部分终点"));
    m_btnAudioEffect = finishui::Button(this, 44, 30, QStringLiteral("音效"), QStringLiteral("音频效果设置"));
    m_btnKeyChange = finishui::Button(this, 56, 22, QStringLiteral("升降调"), QStringLiteral("伴奏升降调"));
    m_btnMicSet = finishui::Button(this, 56, 22, QStringLiteral("输入"), QStringLiteral("选择输入设备"));
    m_btnPrevStep = finishui::Button(this, 90, 30, QStringLiteral("上一步"), QStringLiteral("重新配置曲式结构"));
    m_btnUpload = finishui::Button(this, 80, 30, QStringLiteral("上传歌曲"), QStringLiteral("上传歌曲"));
    m_btnSave = finishui::Button(this, 80, 30, QStringLiteral("保存歌曲"), QStringLiteral("保存歌曲"));
    m_btnPause->hide();
    m_btnBeginPos->SetEnabled(false);
    m_btnEndPos->SetEnabled(false);
    connect(m_btnRecord, &TPNGButton::clicked, this, &TCompleteForm::RecordClick);
    connect(m_btnStop, &TPNGButton::clicked, this, &TCompleteForm::StopClick);
    connect(m_btnPlay, &TPNGButton::clicked, this, &TCompleteForm::PlayClick);
    connect(m_btnPause, &TPNGButton::clicked, this, &TCompleteForm::PauseClick);
    connect(m_btnModify, &TPNGButton::clicked, this, &TCompleteForm::ModifyClick);
    connect(m_btnBeginPos, &TPNGButton::clicked, this, &TCompleteForm::BeginToolClick);
    connect(m_btnEndPos, &TPNGButton::clicked, this, &TCompleteForm::EndToolClick);
    connect(m_btnAudioEffect, &TPNGButton::clicked, this,
            [this] { MDP_PostMessage(WindowHandle(&m_main), UM_AUDIO_EFFECTS, 0, 0); });
    connect(m_btnMicSet, &TPNGButton::clicked, this, [this] {
        StopClick();
        MDP_PostMessage(WindowHandle(&m_main), UM_MIC_SETUP, 0, 0);
    });
    connect(m_btnPrevStep, &TPNGButton::clicked, this,
            [this] { MDP_PostMessage(WindowHandle(&m_main), UM_GOTO_STEP, 3, reinterpret_cast<intptr_t>(this)); });
    connect(m_btnUpload, &TPNGButton::clicked, this,
            [this] { MDP_PostMessage(WindowHandle(&m_main), UM_UPLOAD_SONG, 0, 0); });
    connect(m_btnSave, &TPNGButton::clicked, this,
            [this] { MDP_PostMessage(WindowHandle(&m_main), UM_EXPORT_SONG, 0, 0); });

    m_lblPlayTime = finishui::InfoLabel(this, 90);
    m_lblBeat = finishui::InfoLabel(this, 40);
    m_lblTempo = finishui::InfoLabel(this, 40);
    m_lblKey = finishui::InfoLabel(this, 36);

    m_lbKeySelect = finishui::StageList(this);
    for (const char* k : kKeyItems)
        m_lbKeySelect->addItem(QString::fromLatin1(k));
    m_lbKeySelect->hide();
    m_lbKeySelect->viewport()->installEventFilter(this);
    connect(m_btnKeyChange, &TPNGButton::clicked, this, [this] {
        m_lbKeySelect->setCurrentRow(AccompanimentKey());
        m_lbKeySelect->setVisible(!m_lbKeySelect->isVisible());
        m_lbKeySelect->raise();
    });

    m_sliderSpeaker = finishui::VolumeSlider(this, QStringLiteral("设置扬声器音量"));
    m_sliderMicrophone = finishui::VolumeSlider(this, QStringLiteral("设置麦克风音量"));
    connect(m_sliderSpeaker, &QSlider::valueChanged, this, &TCompleteForm::SetSpeakerVolume);
    connect(m_sliderMicrophone, &QSlider::valueChanged, this, &TCompleteForm::SetMicrophoneVolume);
    m_pbVolLevel = new LevelMeter(this);

    m_view = new TCompletePanel(m_song, m_state, this);
    connect(m_view, &TCompletePanel::pressed, this, &TCompleteForm::ViewPressed);
    connect(m_view, &TCompletePanel::doubleClicked, this, &TCompleteForm::ViewDoubleClicked);
    RegisterMessageTarget(this, this);
}

TCompleteForm::~TCompleteForm()
{
    m_clock.Stop();
    UnregisterMessageTarget(this);
}

void TCompleteForm::resizeEvent(QResizeEvent*)
{
    const int w = width(), h = height();
    int x = 8;
    for (TPNGButton* b : {m_btnRecord, m_btnStop, m_btnPlay, m_btnModify, m_btnBeginPos, m_btnEndPos, m_btnAudioEffect}) {
        b->move(x, 6);
        x += b->width() + 4;
    }
    m_btnPause->move(m_btnPlay->pos());
    x += 8;
    for (QLabel* l : {m_lblPlayTime, m_lblBeat, m_lblTempo, m_lblKey}) {
        l->move(x, 12);
        x += l->width() + 2;
    }
    m_btnKeyChange->move(x, 10);
    m_lbKeySelect->setGeometry(x, 34, 56, 12 * 20 + 4);
    m_view->setGeometry(10, 44, w - 20, h - 90);
    const int y = h - 38;
    m_btnPrevStep->move(8, y);
    auto* speakerLabel = findChild<QLabel*>(QStringLiteral("speakerCaption"));
    if (!speakerLabel) {
        speakerLabel = finishui::InfoLabel(this, 40);
        speakerLabel->setObjectName(QStringLiteral("speakerCaption"));
        speakerLabel->setText(QStringLiteral("扬声器"));
        auto* micLabel = finishui::InfoLabel(this, 40);
        micLabel->setObjectName(QStringLiteral("micCaption"));
        micLabel->setText(QStringLiteral("麦克风"));
        speakerLabel->show();
        micLabel->show();
    }
    speakerLabel->move(106, y + 6);
    m_sliderSpeaker->move(146, y + 6);
    findChild<QLabel*>(QStringLiteral("micCaption"))->move(242, y + 6);
    m_sliderMicrophone->move(282, y + 6);
    m_btnMicSet->move(376, y + 4);
    m_pbVolLevel->move(438, y + 9);
    m_btnUpload->move(w - 190, y);
    m_btnSave->move(w - 104, y);
}

int TCompleteForm::AccompanimentKey() const { return m_song.lastComposeKey >= 0 ? m_song.lastComposeKey : m_song.key; }

void TCompleteForm::UpdateKeyLabel()
{
    const int key = AccompanimentKey();
    m_lblKey->setText(key >= 0 && key < 12 ? QString::fromLatin1(kKeyItems[key]).trimmed() + QStringLiteral("调")
                                           : QStringLiteral("-"));
}

void TCompleteForm::EnterStep()
{
    TSongModel& song = m_song;
    m_state.SetPartial(false);
    m_tool = 0;
    m_btnBeginPos->SetEnabled(false);
    m_btnEndPos->SetEnabled(false);
    if (song.lastComposeKey < 0)
        song.lastComposeKey = song.key;
    static const char* const metres[] = {"4/4", "3/4", "2/4", "6/8"};
    m_lblBeat->setText(QString::fromLatin1(metres[std::clamp(song.metre, 0, 3)]));
    m_lblTempo->setText(QString::number(song.tempo));
    UpdateKeyLabel();
    if (!song.Flag(kFlagBaseAccompaniment))
        BaseCompose(song);
    bool lengthsChanged = false;
    if (song.segmentStyleId != song.styleId) {
        RefreshSegmentBars(song);
        lengthsChanged = RefreshStageLengths(song);
        if (lengthsChanged)
            song.barVols.clear();
    }
    if (song.songForm.empty()) {
        BuildDefaultSongForm(song);
        Compose(song, AccompanimentKey(), true);
    } else if (lengthsChanged || !song.Flag(kFlagComposed) || AccompanimentKey() != song.key) {
        Compose(song, AccompanimentKey(), lengthsChanged || song.barVols.empty());
    } else {
        Engines().mm.MM_SetStreamVolume(4, song.accompanimentVolume);
    }
    m_state.BuildLevels();
    Engines().mm.MM_SetStreamVolume(5, song.voiceVolume);
    {
        const QSignalBlocker a(m_sliderSpeaker), b(m_sliderMicrophone);
        m_sliderSpeaker->setValue(song.speakerVolume < 0 ? 100 : static_cast<int>(song.speakerVolume * 100 + 0.5));
        m_sliderMicrophone->setValue(song.recordVolume < 0 ? 100 : static_cast<int>(song.recordVolume * 100 + 0.5));
    }
    m_view->Rebuild();
    m_startBar = 0;
    m_startOffset = 0;
    SetCursor(0, 0);
    resizeEvent(nullptr);
    MDP_SendMessage(WindowHandle(&m_main), UM_AUTOSAVE, 1, 0);
}

void TCompleteForm::SetCursor(int bar, double offset)
{
    m_state.SetCursor(bar, offset);
    m_view->SetCursor(bar, static_cast<int>(offset));
    m_lblPlayTime->setText(QString::fromStdString(FormatPosition(m_song, bar, offset)));
}

void TCompleteForm::EnableIdleControls(bool idle)
{
    m_btnRecord->SetEnabled(idle);
    m_btnRecord->SetDown(!idle && m_recording);
    m_btnPlay->SetEnabled(idle);
    m_btnModify->SetEnabled(idle);
    m_btnBeginPos->SetEnabled(idle && m_state.Partial());
    m_btnEndPos->SetEnabled(idle && m_state.Partial());
    m_btnPrevStep->SetEnabled(idle);
    m_btnSave->SetEnabled(idle);
}

void TCompleteForm::RecordClick()
{
    if (m_recording || m_playing)
        return;
    const RecordStart start = m_state.StartRecording(m_state.CursorBar(), static_cast<int>(m_state.CursorOffset()));
    SetCursor(start.cursorBar, start.cursorOffset);
    const int code = Engines().mm.MM_Record(WindowHandle(this), start.start, start.punchIn, start.punchOut,
                                            MM_RECORD_FINAL);
    if (code != 0) {
        ShowMessageBox(RecordFailureMessage(code), 16);
        if (RecordFailureForgetsDevice(code)) {
            m_session.app.recordDeviceName.clear();
            m_session.app.recordDevice = -1;
            MDP_PostMessage(WindowHandle(&m_main), UM_MIC_SETUP, 0, 0);
        }
        return;
    }
    m_recording = true;
    m_recorded = false;
    m_takePending = true;
    m_view->SetPlaying(true);
    m_clock.Start(WindowHandle(this));
    EnableIdleControls(false);
    MDP_SendMessage(WindowHandle(&m_main), UM_AUTOSAVE, 0, 0);
    MDP_PostMessage(WindowHandle(&m_main), UM_STEP_ENABLE, 16, 0);
}

void TCompleteForm::PlayClick()
{
    if (m_playing || m_recording)
        return;
    const double start = m_state.CursorBar() + m_state.CursorOffset() / 120.0;
    if (Engines().mm.MM_Play(WindowHandle(this), start, MM_PLAY_SONG) != 0)
        return;
    m_playing = true;
    m_paused = false;
    m_view->SetPlaying(true);
    m_clock.Start(WindowHandle(this));
    m_btnPlay->hide();
    m_btnPause->show();
    m_btnRecord->SetEnabled(false);
}

void TCompleteForm::PauseClick()
{
    if (!m_playing)
        return;
    m_clock.Stop();
    Engines().mm.MM_Stop();
    m_playing = false;
    m_paused = true;
    m_view->SetPlaying(false);
    m_btnPause->hide();
    m_btnPlay->show();
}

void TCompleteForm::StopClick()
{
    m_clock.Stop();
    const bool wasRecording = m_recording;
    if (m_playing || m_recording || m_paused)
        Engines().mm.MM_Stop();
    m_playing = m_paused = m_recording = false;
    m_view->SetPlaying(false);
    m_btnPause->hide();
    m_btnPlay->show();
    static_cast<LevelMeter*>(m_pbVolLevel)->SetValue(0);
    EnableIdleControls(true);
    if (wasRecording) {
        m_stopBar = m_state.CursorBar();
        m_stopOffset = static_cast<int>(m_state.CursorOffset());
        m_startBar = m_stopBar;
        m_startOffset = m_stopOffset;
        if (m_recorded) {
            m_song.SetFlag(kFlagFinalTake, true);
            m_song.SetFlag(kFlagExported, false);
        }
        Engines().mm.MM_SetStreamVolume(5, m_song.voiceVolume);
        MDP_PostMessage(WindowHandle(&m_main), UM_STEP_ENABLE, 31, 0);
    }
    SetCursor(m_startBar, m_startOffset);
}

void TCompleteForm::StopPlayback() { StopClick(); }

void TCompleteForm::ModifyClick()
{
    m_state.SetPartial(!m_state.Partial());
    m_tool = 0;
    m_btnModify->SetDown(m_state.Partial());
    m_btnBeginPos->SetDown(false);
    m_btnEndPos->SetDown(false);
    m_btnBeginPos->SetEnabled(m_state.Partial());
    m_btnEndPos->SetEnabled(m_state.Partial());
    m_view->update();
}

void TCompleteForm::BeginToolClick()
{
    if (!m_state.Partial())
        return;
    m_tool = m_tool == 1 ? 0 : 1;
    m_btnBeginPos->SetDown(m_tool == 1);
    m_btnEndPos->SetDown(false);
    m_view->setCursor(m_tool ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TCompleteForm::EndToolClick()
{
    if (!m_state.Partial())
        return;
    m_tool = m_tool == 2 ? 0 : 2;
    m_btnEndPos->SetDown(m_tool == 2);
    m_btnBeginPos->SetDown(false);
    m_view->setCursor(m_tool ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TCompleteForm::ChooseKey(int key)
{
    m_lbKeySelect->hide();
    if (key < 0 || key > 11 || key == AccompanimentKey())
        return;
    m_song.lastComposeKey = key;
    UpdateKeyLabel();
    StopClick();
    Compose(m_song, key, false);
}

void TCompleteForm::SetSpeakerVolume(int percent)
{
    m_song.speakerVolume = percent / 100.0f;
    Engines().mm.MM_SetStreamVolume(0, m_song.speakerVolume);
}

void TCompleteForm::SetMicrophoneVolume(int percent)
{
    m_song.recordVolume = percent / 100.0f;
    Engines().mm.MM_SetStreamVolume(1, m_song.recordVolume);
}

intptr_t TCompleteForm::HandleMessage(uint32_t message, intptr_t wParam, intptr_t)
{
    switch (message) {
    case UM_CLOCK_TICK: {
        if (!m_playing && !m_recording)
            return 1;
        const auto& mm = Engines().mm;
        const bool going = m_state.Tick(
            m_recording, [&mm](int stream) { return mm.MM_GetStreamVolume(stream); },
            [this](int bar) {
                m_recorded = m_recorded || m_recording;
                m_view->RepaintBar(bar, 0, 119, kContentStripBit);
            });
        static_cast<LevelMeter*>(m_pbVolLevel)->SetValue(m_state.MeterValue());
        if (!going) {
            const int bar = std::max(0, std::min(m_state.CursorBar(), m_state.BarCount() - 1));
            m_state.SetCursor(bar, m_state.CursorBar() >= m_state.BarCount() ? 119 : m_state.CursorOffset());
            StopClick();
            return 1;
        }
        if (m_recording) {
            m_startBar = m_state.CursorBar();
            m_startOffset = m_state.CursorOffset();
        }
        m_view->SetCursor(m_state.CursorBar(), static_cast<int>(m_state.CursorOffset()));
        m_lblPlayTime->setText(
            QString::fromStdString(FormatPosition(m_song, m_state.CursorBar(), m_state.CursorOffset())));
        return 1;
    }
    case UM_ENGINE_STOPPED:
        if (m_playing || m_recording)
            StopClick();
        return 1;
    case UM_TAKE_RECOGNISED: {
        if (!m_takePending)
            return 1;
        // The engine has stored the take (a take stopped at once changes
        // next to nothing of the one before).
        m_takePending = false;
        m_song.SetFlag(kFlagFinalTake, true);
        m_song.SetFlag(kFlagExported, false);
        const int latency = static_cast<int>((static_cast<uintptr_t>(wParam) >> 16) & 0xFFFF);
        if (m_state.ShiftForLatency(latency, m_stopBar, m_stopOffset) > 0)
            m_view->update();
        MDP_SendMessage(WindowHandle(&m_main), UM_AUTOSAVE, 1, 0);
        return 1;
    }
    case UM_RECORD_VOLUME: {
        const int value = std::clamp(static_cast<int>(wParam), 0, 100);
        const QSignalBlocker block(m_sliderMicrophone);
        m_sliderMicrophone->setValue(value);
        m_song.recordVolume = value / 100.0f;
        return 1;
    }
    default:
        return 0;
    }
}

void TCompleteForm::ViewPressed(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::RightButton && m_state.Partial()) {
        if (m_tool)
            m_tool == 1 ? BeginToolClick() : EndToolClick();
        else
            ModifyClick();
        return;
    }
    if (e->button() != Qt::LeftButton || m_recording)
        return;
    if (m_tool) {
        const BarHit hit = m_view->HitTest(at.x() + 6, at.y() + 19, false, true);
        if (hit.bar < 0 || hit.zone == kZoneTop)
            return;
        const bool placed = m_tool == 1 ? m_state.PlaceBegin(hit.bar, hit.offset) : m_state.PlaceEnd(hit.bar, hit.offset);
        if (placed)
            m_tool == 1 ? BeginToolClick() : EndToolClick();
        m_view->update();
        return;
    }
    const BarHit hit = m_view->HitTest(at.x(), at.y(), false, false);
    if (hit.bar >= 0 && (hit.zone == kZoneTitle || hit.zone == kZoneContent)) {
        m_startBar = hit.bar;
        m_startOffset = hit.offset;
        const bool wasPlaying = m_playing;
        if (wasPlaying)
            StopClick();
        SetCursor(hit.bar, hit.offset);
        if (wasPlaying)
            PlayClick();
    }
}

void TCompleteForm::ViewDoubleClicked(QMouseEvent* e)
{
    if (!m_state.Partial())
        return;
    const QPoint at = e->position().toPoint();
    const BarHit hit = m_view->HitTest(at.x(), at.y(), false, false);
    if (hit.bar < 0)
        return;
    const int x = hit.bar * 120 + hit.offset;
    const int reach = hit.zone == kZoneTop ? 6 : 3;
    if (m_state.Begin().Set() && std::abs(m_state.Begin().Absolute() - x) <= reach)
        m_state.ClearBegin();
    else if (m_state.End().Set() && std::abs(m_state.End().Absolute() - x) <= reach)
        m_state.ClearEnd();
    m_view->update();
}

bool TCompleteForm::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_lbKeySelect->viewport() && e->type() == QEvent::MouseButtonPress) {
        auto* item = m_lbKeySelect->itemAt(static_cast<QMouseEvent*>(e)->position().toPoint());
        ChooseKey(item ? m_lbKeySelect->row(item) : -1);
        return true;
    }
    return TScreenPage::eventFilter(watched, e);
}

bool TCompleteForm::event(QEvent* e)
{
    if (DeliverMessageEvent(this, e))
        return true;
    return TScreenPage::event(e);
}

void TCompleteForm::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_lbKeySelect->isVisible())
            ChooseKey(m_lbKeySelect->currentRow());
        return;
    case Qt::Key_Escape:
        m_lbKeySelect->hide();
        return;
    case Qt::Key_Space:
        if (m_playing)
            PauseClick();
        else if (m_recording)
            StopClick();
        else
            PlayClick();
        return;
    case Qt::Key_B: if (m_btnBeginPos->Enabled()) BeginToolClick(); return;
    case Qt::Key_E: if (m_btnEndPos->Enabled()) EndToolClick(); return;
    case Qt::Key_K: if (m_btnKeyChange->Enabled()) m_lbKeySelect->setVisible(true); return;
    case Qt::Key_P: if (m_btnModify->Enabled()) ModifyClick(); return;
    case Qt::Key_R: if (m_btnRecord->Enabled()) RecordClick(); return;
    case Qt::Key_W:
        StopClick();
        if (!m_song.barVols.empty()) {
            m_startBar = 0;
            m_startOffset = 0;
            SetCursor(0, 0);
        }
        return;
    case Qt::Key_F6: if (m_btnSave->Enabled()) MDP_PostMessage(WindowHandle(&m_main), UM_EXPORT_SONG, 0, 0); return;
    case Qt::Key_F8:
        if (m_btnPrevStep->Enabled())
            MDP_PostMessage(WindowHandle(&m_main), UM_GOTO_STEP, 3, reinterpret_cast<intptr_t>(this));
        return;
    default:
        TScreenPage::keyPressEvent(e);
    }
}

void TCompleteForm::LeaveStep(intptr_t)
{
    m_song.SetFlag(kFlagLeftByStepBar, true);
    StopClick();
    m_lbKeySelect->hide();
    if (AccompanimentKey() != m_song.key)
        m_song.SetFlag(kFlagComposed, false);
}

} // namespace melodrift
