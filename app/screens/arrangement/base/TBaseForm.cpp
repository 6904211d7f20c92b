#include "TBaseForm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "AppSession.h"
#include "BaseEdits.h"
#include "EngineTables.h"
#include "Pipeline.h"
#include "SkinArt.h"
#include "StyleDialog.h"
#include "TBasePanel.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TPopMenu.h"
#include "Vocabulary.h"

namespace melodrift {

namespace {

const char* const kRoman[7] = {"I", "II", "III", "IV", "V", "VI", "VII"};
const char* const kLetters[7] = {"C", "D", "E", "F", "G", "A", "B"};
const char* const kKeyItems[12] = {"     C", "   bD", "     D", "   bE", "     E", "     F",
                                   "   #F", "     G", "   bA", "     A", "   bB", "     B"};

enum MenuTags : int {
    kTagPattern = 100,   // + pattern
    kTagFill = 200,      // + fill
    kTagDeleteChord = 300,
    kTagResetChords = 301,
    kTagRoman = 302,
    kTagLetters = 303,
};

TPNGButton* MakeButton(QWidget* parent, int w, int h, const QString& caption, const QString& hint = {})
{
    auto* button = new TPNGButton(parent);
    button->SetPngImg(skin::ButtonStrip(w, h, 4, caption));
    button->SetHint(hint);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color:#3C2B17"));
    label->setFont(skin::SkinFont(12));
    return label;
}

QListWidget* MakeList(QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setFont(skin::SkinFont(12));
    list->setStyleSheet(QStringLiteral("QListWidget{background:#FBF3E8;border:1px solid #A47346;color:#3C2B17}"
                                       "QListWidget::item{height:14px}"
                                       "QListWidget::item:selected,QListWidget::item:hover{background:#8A5A2B;color:rgb(232,212,191)}"));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->hide();
    return list;
}

} // namespace

// A volume slider pop-up: a track from y 16 (full) to 116 (silent) and a thumb.
class TVolumePopup : public QWidget {
public:
    explicit TVolumePopup(QWidget* parent) : QWidget(parent)
    {
        resize(32, 132);
        hide();
    }
    std::function<void(int)> onSet;   // p 0..100
    int pos = 0;
    void Place(int p)
    {
        pos = std::clamp(p, 0, 100);
        setToolTip(QString::number(100 - pos));
        update();
    }
    // A press on the track; false when it missed.
    bool PressTrack(int x, int y)
    {
        if (!(x > 8 && x < 24 && y > 15 && y <= 116))
            return false;
        Place(y - 16);
        if (onSet)
            onSet(pos);
        return true;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0xA4, 0x73, 0x46));
        p.setBrush(QColor(0xFB, 0xF3, 0xE8));
        p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), 4, 4);
        p.setBrush(QColor(0xE0, 0xC8, 0xA8));
        p.drawRoundedRect(QRectF(14, 16, 4, 100), 2, 2);
        p.setBrush(QColor(0x8A, 0x5A, 0x2B));
        p.drawRoundedRect(QRectF(7, pos + 5, 18, 22), 3, 3);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        const QPoint at = e->position().toPoint();
        if (at.y() >= pos + 5 && at.y() < pos + 29 && at.x() >= 7 && at.x() < 26) {
            m_dragY = at.y();
            m_dragging = true;
            setToolTip({});
            return;
        }
        PressTrack(at.x(), at.y());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!m_dragging)
            return;
        const int y = e->position().toPoint().y();
        pos = std::clamp(pos + y - m_dragY, 0, 100);
        m_dragY = y;
        update();
    }
    void mouseReleaseEvent(QMouseEvent*) override
    {
        if (!m_dragging)
            return;
        m_dragging = false;
        Place(pos);
        if (onSet)
            onSet(pos);
    }

private:
    bool m_dragging = false;
    int m_dragY = 0;
};

TBaseForm::TBaseForm(TMainForm* mainForm, AppSession& session, QWidget* parent)
    : TScreenPage(parent), m_main(mainForm), m_session(session), m_song(session.song)
{
    setFocusPolicy(Qt::StrongFocus);
    setFont(skin::SkinFont(12));
    m_btnReload = MakeButton(this, 28, 28, QStringLiteral("↻"), QStringLiteral("生成伴奏"));
    m_btnStop = MakeButton(this, 28, 28, QStringLiteral("■"), QStringLiteral("停止"));
    m_btnPlay = MakeButton(this, 28, 28, QStringLiteral("▶"), QStringLiteral("播放"));
    m_btnPause = MakeButton(this, 28, 28, QStringLiteral("❚❚"), QStringLiteral("暂停播放"));
    m_btnApart = MakeButton(this, 32, 28, QStringLiteral("拆"), QStringLiteral("段落划分"));
    m_btnCombine = MakeButton(this, 32, 28, QStringLiteral("合"), QStringLiteral("段落合并"));
    for (int i = 0; i < 7; ++i) {
        m_btnMainKey[static_cast<size_t>(i)] = MakeButton(this, 24, 26, QString::fromUtf8(kRoman[i]));
        connect(m_btnMainKey[static_cast<size_t>(i)], &TPNGButton::clicked, this, [this, i] { ClickDegree(i); });
    }
    m_btnAjustKey[0] = MakeButton(this, 24, 26, QStringLiteral("#"), QStringLiteral("升"));
    m_btnAjustKey[1] = MakeButton(this, 24, 26, QStringLiteral("b"), QStringLiteral("降"));
    connect(m_btnAjustKey[0], &TPNGButton::clicked, this, [this] { ClickAccidental(1); });
    connect(m_btnAjustKey[1], &TPNGButton::clicked, this, [this] { ClickAccidental(-1); });
    const char* const qualities[3] = {"m", "7", "m7"};
    for (int i = 0; i < 3; ++i) {
        m_btnChordType[static_cast<size_t>(i)] = MakeButton(this, 25, 26, QString::fromUtf8(qualities[i]));
        connect(m_btnChordType[static_cast<size_t>(i)], &TPNGButton::clicked, this, [this, i] { ClickQuality(i + 1); });
    }
    m_btnAudioEffect = MakeButton(this, 50, 28, QStringLiteral("音效"), QStringLiteral("音频效果设置"));

    m_panelMusicInfo = new QWidget(this);
    m_panelMusicInfo->resize(128, 36);
    m_lblPlayTime = MakeLabel(m_panelMusicInfo, QStringLiteral("--:--:---"));
    m_lblPlayTime->setGeometry(2, 0, 80, 17);
    m_lblPlayTime->setCursor(Qt::PointingHandCursor);
    m_lblPlayTime->installEventFilter(this);
    m_lblBeat = MakeLabel(m_panelMusicInfo);
    m_lblBeat->setGeometry(2, 18, 32, 17);
    m_lblTempo = MakeLabel(m_panelMusicInfo);
    m_lblTempo->setGeometry(36, 18, 36, 17);
    m_lblKey = MakeLabel(m_panelMusicInfo);
    m_lblKey->setGeometry(76, 18, 24, 17);
    m_btnKeyChange = MakeButton(m_panelMusicInfo, 22, 20, QStringLiteral("调"), QStringLiteral("修改旋律调号"));
    m_btnKeyChange->move(102, 16);

    m_view = new TBasePanel(m_song, this);
    m_btnPrevStep = MakeButton(this, 92, 30, QStringLiteral("上一步"), QStringLiteral("重新录音或修改录音"));
    m_btnNextStep = MakeButton(this, 92, 30, QStringLiteral("下一步"), QStringLiteral("调整曲式结构"));
    m_btnVolAudioSet = MakeButton(this, 28, 28, QStringLiteral("人"), QStringLiteral("设置人声音量"));
    m_btnVolMusicSet = MakeButton(this, 28, 28, QStringLiteral("伴"), QStringLiteral("设置伴奏音量"));
    m_panelAudioVolSet = new TVolumePopup(this);
    m_panelMusicVolSet = new TVolumePopup(this);
    m_panelAudioVolSet->onSet = [this](int p) { ApplyVolume(0, p); };
    m_panelMusicVolSet->onSet = [this](int p) { ApplyVolume(1, p); };
    m_btnStyleChange = MakeButton(this, 62, 28, QStringLiteral("风格"), QStringLiteral("更换伴奏风格"));
    m_lblStyleName = MakeLabel(this);
    m_lblStyleName->setToolTip(QStringLiteral("当前伴奏风格"));
    m_btnFontChange = MakeButton(this, 62, 28, QStringLiteral("音色"), QStringLiteral("更换音色库"));
    m_lblFontName = MakeLabel(this);
    m_lblFontName->setToolTip(QStringLiteral("当前音色库"));
    m_lbKeySelect = MakeList(this);
    for (const char* item : kKeyItems)
        m_lbKeySelect->addItem(QString::fromUtf8(item));
    m_lbFontSelect = MakeList(this);
    m_lblBusy = MakeLabel(this, QStringLiteral("正在生成伴奏…"));
    m_lblBusy->setAlignment(Qt::AlignCenter);
    m_lblBusy->setStyleSheet(QStringLiteral("color:#3C2B17;background:rgba(251,243,232,220);border:1px solid #A47346"));
    m_lblBusy->hide();

    connect(m_btnReload, &TPNGButton::clicked, this, [this] { Generate(true); });
    connect(m_btnPlay, &TPNGButton::clicked, this, &TBaseForm::Play);
    connect(m_btnPause, &TPNGButton::clicked, this, &TBaseForm::Pause);
    connect(m_btnStop, &TPNGButton::clicked, this, &TBaseForm::Stop);
    connect(m_btnApart, &TPNGButton::clicked, this, [this] { SetTool(m_tool == BaseTool::Split ? BaseTool::None : BaseTool::Split); });
    connect(m_btnCombine, &TPNGButton::clicked, this, [this] { SetTool(m_tool == BaseTool::Merge ? BaseTool::None : BaseTool::Merge); });
    connect(m_btnAudioEffect, &TPNGButton::clicked, this, [this] {
        StopPlayback();
        if (m_main)
            MDP_PostMessage(WindowHandle(m_main), UM_AUDIO_EFFECTS, 0, 0);
    });
    connect(m_btnPrevStep, &TPNGButton::clicked, this, [this] {
        if (m_main)
            MDP_PostMessage(WindowHandle(m_main), UM_GOTO_STEP, 1, reinterpret_cast<intptr_t>(WindowHandle(this)));
    });
    connect(m_btnNextStep, &TPNGButton::clicked, this, [this] {
        if (m_main)
            MDP_PostMessage(WindowHandle(m_main), UM_GOTO_STEP, 3, reinterpret_cast<intptr_t>(WindowHandle(this)));
    });
    connect(m_btnVolAudioSet, &TPNGButton::clicked, this, [this] {
        const bool show = !m_panelAudioVolSet->isVisible();
        ClosePopups();
        m_panelAudioVolSet->setVisible(show);
        m_panelAudioVolSet->raise();
        m_btnVolAudioSet->SetDown(show);
    });
    connect(m_btnVolMusicSet, &TPNGButton::clicked, this, [this] {
        const bool show = !m_panelMusicVolSet->isVisible();
        ClosePopups();
        m_panelMusicVolSet->setVisible(show);
        m_panelMusicVolSet->raise();
        m_btnVolMusicSet->SetDown(show);
    });
    connect(m_btnStyleChange, &TPNGButton::clicked, this, [this] {
        StopPlayback();
        ClosePopups();
        SetTool(BaseTool::None);
        MDP_PostMessage(WindowHandle(this), UM_CHOOSE_STYLE, 0, 0);
    });
    connect(m_btnKeyChange, &TPNGButton::clicked, this, [this] {
        const bool show = !m_lbKeySelect->isVisible();
        ClosePopups();
        SetTool(BaseTool::None);
        if (show && m_song.key >= 0)
            m_lbKeySelect->setCurrentRow(m_song.key);
        m_lbKeySelect->setVisible(show);
        m_lbKeySelect->raise();
        m_btnKeyChange->SetDown(show);
        if (show)
            m_lbKeySelect->setFocus();
    });
    connect(m_lbKeySelect, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int key = m_lbKeySelect->row(item);
        ClosePopups();
        ChooseKey(key, true);
    });
    connect(m_btnFontChange, &TPNGButton::clicked, this, [this] {
        const bool show = !m_lbFontSelect->isVisible();
        ClosePopups();
        if (show)
            m_lbFontSelect->setCurrentRow(m_song.timbreLibrary);
        m_lbFontSelect->setVisible(show);
        m_lbFontSelect->raise();
        m_btnFontChange->SetDown(show);
    });
    connect(m_lbFontSelect, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int index = m_lbFontSelect->row(item);
        ClosePopups();
        ChooseFont(index);
    });
    connect(m_view, &TBasePanel::barsChanged, this, &TBaseForm::BarsChanged);
    connect(m_view, &TBasePanel::chordsReset, this, &TBaseForm::ChordsReset);
    connect(m_view, &TBasePanel::viewPressed, this, &TBaseForm::ViewPressed);
    connect(m_view, &TBasePanel::viewMoved, this, &TBaseForm::ViewMoved);

    RegisterMessageTarget(this, this);
    resize(810, 500);
    Layout();
}

TBaseForm::~TBaseForm()
{
    m_clock.Stop();
    if (m_composeThread.joinable())
        m_composeThread.join();
    if (m_playing && Engines().mm.MM_Stop)
        Engines().mm.MM_Stop();
    UnregisterMessageTarget(this);
}

void TBaseForm::Layout()
{
    const int w = width(), h = height();
    m_btnReload->move(22, 7);
    m_btnStop->move(52, 7);
    m_btnPlay->move(82, 7);
    m_btnPause->move(82, 7);
    m_btnApart->move(150, 7);
    m_btnCombine->move(186, 7);
    for (int i = 0; i < 7; ++i)
        m_btnMainKey[static_cast<size_t>(i)]->move(258 + i * 25, 8);
    m_btnAjustKey[0]->move(439, 8);
    m_btnAjustKey[1]->move(464, 8);
    m_btnChordType[0]->move(499, 8);
    m_btnChordType[1]->move(524, 8);
    m_btnChordType[2]->move(550, 8);
    m_btnAudioEffect->move(w - 215, 7);
    m_panelMusicInfo->move(w - 138, 5);
    m_lbKeySelect->setGeometry(w - 70, 44, 40, 12 * 14 + 4);
    m_view->setGeometry(10, 45, w - 20, h - 90);
    m_btnPrevStep->move(12, h - 40);
    m_btnNextStep->move(w - 104, h - 40);
    m_btnVolAudioSet->move(120, h - 45);
    m_btnVolMusicSet->move(151, h - 45);
    m_panelAudioVolSet->move(118, h - 178);
    m_panelMusicVolSet->move(149, h - 178);
    m_btnStyleChange->move(203, h - 45);
    m_lblStyleName->setGeometry(269, h - 44, 150, 26);
    m_btnFontChange->move(425, h - 45);
    m_lblFontName->setGeometry(491, h - 44, std::max(100, w - 104 - 8 - 491), 26);
    const int fontRows = std::min(static_cast<int>(m_lbFontSelect->count()), 8);
    m_lbFontSelect->setGeometry(491, h - 44 - fontRows * 16 - 4, 140, fontRows * 16 + 4);
    m_lblBusy->setGeometry(w / 2 - 90, h / 2 - 16, 180, 32);
}

void TBaseForm::resizeEvent(QResizeEvent*)
{
    Layout();
}

void TBaseForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect(), skin::PageBackground(width(), height()));
    p.setPen(QColor(0xD8, 0xC4, 0xA8));
    p.drawLine(138, 10, 138, 34);
    p.drawLine(246, 10, 246, 34);
    p.drawLine(width() - 155, 10, width() - 155, 34);
}

void TBaseForm::RenewLabels()
{
    m_lblBeat->setText(QString::fromUtf8(MetreName(m_song.metre)));
    m_lblTempo->setText(QString::number(m_song.tempo));
    m_lblKey->setText(m_song.key >= 0 ? QString::fromUtf8(KeyName(m_song.key)) : QStringLiteral("-"));
    m_lblStyleName->setText(QString::fromUtf8(m_song.styleFileName.c_str()));
    const auto& fonts = m_song.fonts;
    const int font = m_song.timbreLibrary;
    m_lblFontName->setText(font >= 0 && font < static_cast<int>(fonts.size()) ? QString::fromUtf8(fonts[static_cast<size_t>(font)].name)
                                                                               : QString());
}

void TBaseForm::RenewDegreePictures()
{
    const bool letters = m_song.Flag(kFlagChordLetters);
    for (int i = 0; i < 7; ++i)
        m_btnMainKey[static_cast<size_t>(i)]->SetPngImg(
            skin::ButtonStrip(24, 26, 4, QString::fromUtf8(letters ? kLetters[i] : kRoman[i])));
}

void TBaseForm::RenewTools()
{
    const int stages = static_cast<int>(m_song.stages.size());
    m_btnApart->SetEnabled(!m_composing && stages < static_cast<int>(m_song.bars.size()));
    m_btnCombine->SetEnabled(!m_composing && stages >= 2);
    m_btnApart->SetDown(m_tool == BaseTool::Split);
    m_btnCombine->SetDown(m_tool == BaseTool::Merge);
    m_btnReload->SetEnabled(!m_composing && m_view->ChangedAspects(0) != 0);
    m_btnStyleChange->SetEnabled(!m_composing);
    m_btnKeyChange->SetEnabled(!m_composing);
    m_btnFontChange->SetEnabled(!m_composing && m_song.fonts.size() > 1);
    m_btnPlay->setVisible(!m_playing);
    m_btnPause->setVisible(m_playing);
    m_btnPlay->SetEnabled(!m_composing);
    m_btnStop->SetEnabled(m_playing || m_cursorBar != m_startBar || m_cursorOffset != m_startOffset);
    m_lblBusy->setVisible(m_composing);
    m_lblBusy->raise();
}

void TBaseForm::EnterStep()
{
    m_tool = BaseTool::None;
    RenewDegreePictures();
    m_view->SelectSlot(-1, 0);
    DisableChordButtons();
    RenewLabels();
    if (m_lbFontSelect->count() == 0) {
        for (const FONTINFO& font : m_song.fonts)
            m_lbFontSelect->addItem(QString::fromUtf8(font.name));
        Layout();
    }
    const auto& mm = Engines().mm;
    if (m_song.Flag(kFlagBaseAccompaniment)) {
        if (mm.MM_SetStreamVolume)
            mm.MM_SetStreamVolume(3, m_song.accompanimentVolume);
        m_view->ReloadFromModel();
    } else {
        m_view->ReloadFromModel();
        Generate(false);
    }
    if (mm.MM_SetStreamVolume)
        mm.MM_SetStreamVolume(2, m_song.voiceVolume);
    const float volumes[2] = {m_song.voiceVolume, m_song.accompanimentVolume};
    TVolumePopup* popups[2] = {m_panelAudioVolSet, m_panelMusicVolSet};
    for (int i = 0; i < 2; ++i) {
        m_volumePos[static_cast<size_t>(i)] = static_cast<int>(std::trunc(100 - volumes[i] * 100));
        popups[i]->Place(m_volumePos[static_cast<size_t>(i)]);
    }
    m_cursorBar = m_startBar = 0;
    m_cursorOffset = m_startOffset = 0;
    m_view->SetCursor(0, 0);
    RenewPosition();
    RenewTools();
    update();
}

bool TBaseForm::StyleStillThere()
{
    const auto& sm = Engines().sm;
    if (!sm.SM_CheckStyle || sm.SM_CheckStyle(m_song.styleId))
        return true;
    // The style left the library: fall back to the first installed one of the metre.
    StyleRunState& run = StyleRun();
    LoadStyleLibrary(run, m_song.metre);
    for (const StyleEntry& e : run.library)
        if (e.Installed() && sm.SM_CheckStyle(e.info.id)) {
            const QString old = QString::fromUtf8(m_song.styleFileName.c_str());
            m_song.styleId = e.info.id;
            m_song.styleFileName = e.info.name;
            m_song.SetFlag(kFlagComposed, false);
            ShowMessageBox(QStringLiteral("伴奏风格“%1”已不在风格库中，改用“%2”。").arg(old, QString::fromUtf8(e.info.name)), 0x40);
            RenewLabels();
            return true;
        }
    ShowMessageBox(QStringLiteral("风格库中没有可用的伴奏风格。"), 0x10);
    return false;
}

bool TBaseForm::Generate(bool reportFailure)
{
    if (m_composing)
        return false;   // one run at a time
    if (!StyleStillThere()) {
        AfterGenerate(false, false);
        return false;
    }
    m_composing = true;
    m_pendingReport = reportFailure;
    RenewTools();
    // The worker composes a copy: the model stays the GUI thread's, and edits
    // wait until the result is back. What plays meanwhile keeps playing.
    m_composeCopy = std::make_unique<TSongModel>(m_song);
    TSongModel* copy = m_composeCopy.get();
    if (m_composeThread.joinable())
        m_composeThread.join();
    m_composeThread = std::thread([this, copy] {
        const bool ok = BaseCompose(*copy);
        QMetaObject::invokeMethod(this, [this, ok] { ComposeFinished(ok); }, Qt::QueuedConnection);
    });
    return true;
}

void TBaseForm::WaitForCompose()
{
    while (m_composing)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

void TBaseForm::ComposeFinished(bool ok)
{
    if (m_composeThread.joinable())
        m_composeThread.join();
    m_composing = false;
    if (ok && m_composeCopy) {
        m_song.bars = m_composeCopy->bars;
        m_song.stages = m_composeCopy->stages;
        m_song.SetFlag(kFlagBaseAccompaniment, true);
    }
    m_composeCopy.reset();
    AfterGenerate(ok, m_pendingReport);
}

void TBaseForm::AfterGenerate(bool ok, bool reportFailure)
{
    if (!ok) {
        if (reportFailure)
            ShowMessageBox(QStringLiteral("自动编曲失败！"), 16);
        RenewTools();
        return;
    }
    const int flags = m_view->ChangedAspects(127);
    // The song form is built from the stages: it must be rebuilt.
    if (!m_song.bars.empty() && (flags & (kChangeBarCount | kChangeStageCount | kChangeStageBounds))) {
        m_song.ClearSong(kClearSongForm);
        m_song.barVols.clear();
    }
    m_view->ReloadFromModel();
    m_view->SetCursor(m_cursorBar, static_cast<int>(m_cursorOffset));
    if (m_playing) {
        // The new accompaniment is heard from where the cursor is.
        Engines().mm.MM_Play(WindowHandle(this), m_cursorBar + m_cursorOffset / 120.0, MM_PLAY_BASE);
    }
    RenewTools();
    update();
}

void TBaseForm::Play()
{
    if (m_composing || m_playing)
        return;
    if (m_view->ChangedAspects(0) != 0) {
        // Composing first: playing starts once the result is loaded.
        if (Generate(true)) {
            WaitForCompose();
            if (m_view->ChangedAspects(0) != 0)
                return;
        }
    }
    const auto& mm = Engines().mm;
    if (!mm.MM_Play || mm.MM_Play(WindowHandle(this), m_cursorBar + m_cursorOffset / 120.0, MM_PLAY_BASE) != 0)
        return;
    m_clock.Start(WindowHandle(this));
    m_playing = true;
    m_view->SetPlaying(true);
    RenewTools();
}

void TBaseForm::Pause()
{
    if (!m_playing)
        return;
    m_clock.Stop();
    Engines().mm.MM_Stop();
    m_playing = false;
    m_view->SetPlaying(false);
    RenewTools();
}

void TBaseForm::Stop()
{
    Pause();
    m_cursorBar = m_startBar;
    m_cursorOffset = m_startOffset;
    m_view->SetCursor(m_cursorBar, static_cast<int>(m_cursorOffset));
    RenewPosition();
    RenewTools();
    m_btnStop->SetEnabled(false);
}

void TBaseForm::StopPlayback()
{
    if (m_playing)
        Stop();
}

void TBaseForm::ClockTick()
{
    if (!m_playing)
        return;
    const int oldBar = m_cursorBar, oldOffset = static_cast<int>(m_cursorOffset);
    m_cursorOffset += m_song.ticksPerClockTick;
    while (m_cursorOffset >= 120) {
        m_cursorOffset -= 120;
        ++m_cursorBar;
    }
    if (m_cursorBar >= static_cast<int>(m_song.bars.size())) {
        Stop();
        return;
    }
    if (m_cursorBar != oldBar || static_cast<int>(m_cursorOffset) != oldOffset)
        m_view->SetCursor(m_cursorBar, static_cast<int>(m_cursorOffset));
    RenewPosition();
}

void TBaseForm::RenewPosition()
{
    m_lblPlayTime->setText(m_song.bars.empty() ? QStringLiteral("--:--:---")
                                               : QString::fromStdString(FormatPosition(m_song, m_cursorBar, m_cursorOffset)));
}

intptr_t TBaseForm::HandleMessage(uint32_t message, intptr_t, intptr_t)
{
    switch (message) {
    case UM_CLOCK_TICK: ClockTick(); return 1;
    case UM_ENGINE_STOPPED:
        if (m_playing)
            Stop();
        return 1;
    case UM_CHOOSE_STYLE: ChangeStyle(); return 1;
    default: return 0;
    }
}

bool TBaseForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lblPlayTime && event->type() == QEvent::MouseButtonPress) {
        const bool bars = !m_song.Flag(kFlagBarPositions);
        m_song.SetFlag(kFlagBarPositions, bars);
        if (m_lblPlayTime->text() != QStringLiteral("--:--:---"))
            RenewPosition();
        m_lblPlayTime->setToolTip(bars ? QStringLiteral("当前位置(节拍)") : QStringLiteral("当前位置(时间)"));
        return true;
    }
    return TScreenPage::eventFilter(watched, event);
}

bool TBaseForm::event(QEvent* event)
{
    if (DeliverMessageEvent(this, event))
        return true;
    if (event->type() == QEvent::MouseButtonPress)
        ClosePopups();
    return TScreenPage::event(event);
}

void TBaseForm::ClosePopups()
{
    m_panelAudioVolSet->hide();
    m_panelMusicVolSet->hide();
    m_lbKeySelect->hide();
    m_lbFontSelect->hide();
    m_btnVolAudioSet->SetDown(false);
    m_btnVolMusicSet->SetDown(false);
    m_btnKeyChange->SetDown(false);
    m_btnFontChange->SetDown(false);
}

// ---- Chords -------------------------------------------------------------------

void TBaseForm::DisableChordButtons()
{
    for (TPNGButton* b : m_btnMainKey) {
        b->SetDown(false);
        b->SetEnabled(false);
    }
    for (TPNGButton* b : m_btnAjustKey) {
        b->SetDown(false);
        b->SetEnabled(false);
    }
    for (TPNGButton* b : m_btnChordType) {
        b->SetDown(false);
        b->SetEnabled(false);
    }
}

void TBaseForm::ShowChord(const ChordButtons& chord)
{
    for (TPNGButton* b : m_btnMainKey)
        b->SetEnabled(true), b->SetDown(false);
    for (TPNGButton* b : m_btnChordType)
        b->SetEnabled(true), b->SetDown(false);
    for (TPNGButton* b : m_btnAjustKey)
        b->SetEnabled(false), b->SetDown(false);
    if (chord.button < 0)
        return;
    if (m_song.Flag(kFlagChordLetters)) {
        const LetterButtons shown = ShowInLetters(chord, std::max(0, m_song.key));
        m_btnMainKey[static_cast<size_t>(shown.letter)]->SetDown(true);
        m_btnAjustKey[0]->SetEnabled(shown.sharpEnabled);
        m_btnAjustKey[1]->SetEnabled(shown.flatEnabled);
        m_btnAjustKey[0]->SetDown(shown.sharpDown);
        m_btnAjustKey[1]->SetDown(shown.flatDown);
    } else {
        m_btnMainKey[static_cast<size_t>(chord.button)]->SetDown(true);
        bool flat = false, sharp = false;
        RomanAccidentals(chord.button, flat, sharp);
        m_btnAjustKey[0]->SetEnabled(sharp);
        m_btnAjustKey[1]->SetEnabled(flat);
        m_btnAjustKey[0]->SetDown(chord.accidental > 0);
        m_btnAjustKey[1]->SetDown(chord.accidental < 0);
    }
    if (chord.quality >= 1 && chord.quality <= 3)
        m_btnChordType[static_cast<size_t>(chord.quality - 1)]->SetDown(true);
}

int TBaseForm::PressedDegree() const
{
    for (int i = 0; i < 7; ++i)
        if (m_btnMainKey[static_cast<size_t>(i)]->Down())
            return i;
    return -1;
}

ChordButtons TBaseForm::ButtonsChord() const
{
    const int pressed = PressedDegree();
    if (pressed < 0)
        return {};
    const int accidental = m_btnAjustKey[0]->Down() ? 1 : m_btnAjustKey[1]->Down() ? -1 : 0;
    int quality = 0;
    for (int i = 0; i < 3; ++i)
        if (m_btnChordType[static_cast<size_t>(i)]->Down())
            quality = i + 1;
    ChordButtons chord = m_song.Flag(kFlagChordLetters) ? LetterToDegree(pressed, accidental, std::max(0, m_song.key))
                                                         : ChordButtons{pressed, accidental, 0};
    chord.quality = quality;
    return chord;
}

void TBaseForm::PressContent(int bar, int offset)
{
    const int half = m_song.metre == 0 && offset >= 61 ? 1 : 0;
    if (m_view->SelectSlot(bar, half)) {
        const ChordButtons chord = m_view->GetSelectedChord();
        ShowChord(chord);
        m_initialSlotChord = ComposeChord(chord);
        m_secondHalf = half == 1;
    }
}

void TBaseForm::ClickDegree(int tag)
{
    if (m_composing || m_view->SelectedSlot() < 0 || !m_btnMainKey[static_cast<size_t>(tag)]->Enabled())
        return;
    const bool wasDown = m_btnMainKey[static_cast<size_t>(tag)]->Down();
    if (wasDown) {
        if (!m_secondHalf)
            return;
        // A second-half slot may hold no chord.
        for (TPNGButton* b : m_btnMainKey)
            b->SetDown(false);
        for (TPNGButton* b : m_btnAjustKey)
            b->SetEnabled(false), b->SetDown(false);
        for (TPNGButton* b : m_btnChordType)
            b->SetDown(false);
        m_view->SetSelectedChord(7, 0, 0);
        return;
    }
    const ChordButtons chord = ChooseDegree(tag, m_song.Flag(kFlagChordLetters), std::max(0, m_song.key));
    ShowChord(chord);
    m_view->SetSelectedChord(chord.button, chord.accidental, chord.quality);
}

void TBaseForm::ClickAccidental(int tag)
{
    TPNGButton* button = m_btnAjustKey[tag > 0 ? 0 : 1];
    if (m_composing || !button->Enabled() || PressedDegree() < 0)
        return;
    button->SetDown(!button->Down());
    m_btnAjustKey[tag > 0 ? 1 : 0]->SetDown(false);
    const ChordButtons chord = ButtonsChord();
    m_view->SetSelectedChord(chord.button, chord.accidental, chord.quality);
}

void TBaseForm::ClickQuality(int tag)
{
    TPNGButton* button = m_btnChordType[static_cast<size_t>(tag - 1)];
    if (m_composing || !button->Enabled() || PressedDegree() < 0)
        return;
    const bool down = !button->Down();
    for (TPNGButton* b : m_btnChordType)
        b->SetDown(false);
    button->SetDown(down);
    const ChordButtons chord = ButtonsChord();
    m_view->SetSelectedChord(chord.button, chord.accidental, chord.quality);
}

void TBaseForm::SetLetterDisplay(bool letters)
{
    if (letters == m_song.Flag(kFlagChordLetters))
        return;
    const ChordButtons chord = ButtonsChord();
    m_song.SetFlag(kFlagChordLetters, letters);
    RenewDegreePictures();
    if (m_view->SelectedSlot() >= 0)
        ShowChord(chord);
    m_view->update();
}

void TBaseForm::DeleteSlotChord()
{
    if (m_view->SelectedSlot() < 0)
        return;
    m_view->SetSelectedChord(7, 0, 0);
    ShowChord({});
}

void TBaseForm::Escape()
{
    if (m_tool != BaseTool::None) {
        SetTool(BaseTool::None);
        return;
    }
    if (m_lbKeySelect->isVisible() || m_lbFontSelect->isVisible() || m_panelAudioVolSet->isVisible() ||
        m_panelMusicVolSet->isVisible()) {
        ClosePopups();
        return;
    }
    if (m_view->SelectedSlot() >= 0) {
        const ChordButtons initial = DecomposeChord(m_initialSlotChord);
        if (ComposeChord(m_view->GetSelectedChord()) != m_initialSlotChord)
            m_view->SetSelectedChord(initial.button < 0 ? 7 : initial.button, initial.accidental, initial.quality);
        m_view->SelectSlot(-1, 0);
        DisableChordButtons();
    }
}

// ---- Stages and tools ---------------------------------------------------------

void TBaseForm::SetTool(BaseTool tool)
{
    ClosePopups();
    m_tool = tool;
    m_view->SelectSlot(-1, 0);
    m_view->Split(-1, 0, true);
    m_view->Merge(-1, 0, true);
    DisableChordButtons();
    m_view->setCursor(tool == BaseTool::Split ? Qt::SplitHCursor : tool == BaseTool::Merge ? Qt::SizeHorCursor : Qt::ArrowCursor);
    RenewTools();
}

void TBaseForm::ToolAt(int x, int y, bool commit)
{
    const BarHit hit = m_view->HitTest(x, y, true, false);
    const bool inBar = hit.zone == kZoneTitle || hit.zone == kZoneContent;
    const int bar = inBar ? hit.bar : -1;
    bool done = false;
    if (m_tool == BaseTool::Split)
        done = m_view->Split(bar, hit.offset, !commit);
    else if (m_tool == BaseTool::Merge)
        done = m_view->Merge(bar, hit.offset, !commit);
    if (commit && done)
        SetTool(BaseTool::None);
}

void TBaseForm::ViewPressed(QMouseEvent* event, bool fromMarker)
{
    ClosePopups();
    if (m_composing)
        return;
    QPoint at = event->position().toPoint();
    if (m_tool != BaseTool::None) {
        if (event->button() == Qt::LeftButton && !fromMarker)
            ToolAt(at.x() + 11, at.y() + 7, true);
        return;
    }
    const BarHit hit = m_view->HitTest(at.x(), at.y(), true, false);
    if (hit.zone != kZoneContent) {
        m_view->SelectSlot(-1, 0);
        DisableChordButtons();
    } else {
        PressContent(hit.bar, hit.offset);
    }
    if (event->button() == Qt::LeftButton && !fromMarker && hit.zone == kZoneTitle) {
        m_cursorBar = m_startBar = hit.bar;
        m_cursorOffset = m_startOffset = hit.offset;
        m_view->SetCursor(hit.bar, hit.offset);
        RenewPosition();
        if (m_playing)
            Engines().mm.MM_Play(WindowHandle(this), hit.bar + hit.offset / 120.0, MM_PLAY_BASE);
        RenewTools();
    } else if (event->button() == Qt::RightButton) {
        if (hit.zone == kZoneTitle || hit.zone == kZoneContent || (hit.zone == kZoneTop && fromMarker))
            OpenMenu(hit.zone, hit.bar, hit.offset, fromMarker, event->globalPosition().toPoint());
    }
}

void TBaseForm::ViewMoved(QMouseEvent* event)
{
    if (m_tool == BaseTool::None)
        return;
    const QPoint at = event->position().toPoint();
    ToolAt(at.x() + 11, at.y() + 7, false);
}

void TBaseForm::OpenMenu(int zone, int bar, int offset, bool fromMarker, const QPoint& globalPos)
{
    std::vector<PopMenuItem> items;
    if (zone == kZoneTop && fromMarker) {
        const int stage = m_view->StageOfBar(bar);
        if (stage < 0)
            return;
        for (int i = 0; i < 4; ++i)
            items.push_back({.text = QStringLiteral("伴奏类型 %1").arg(i + 1),
                             .checked = m_song.stages[static_cast<size_t>(stage)].pattern == i,
                             .group = 1,
                             .tag = kTagPattern + i});
        const int tag = TPopMenu::Popup(this, items, globalPos);
        if (tag >= kTagPattern && tag < kTagPattern + 4 && tag - kTagPattern != m_song.stages[static_cast<size_t>(stage)].pattern)
            m_view->SetStagePattern(stage, tag - kTagPattern);
        return;
    }
    if (zone == kZoneTitle) {
        const int fill = m_song.bars[static_cast<size_t>(bar)].fill;
        items.push_back({.text = QStringLiteral("加花-1"), .checked = fill == 0, .tag = kTagFill + 0});
        items.push_back({.text = QStringLiteral("加花-2"), .checked = fill == 1, .tag = kTagFill + 1});
        const int tag = TPopMenu::Popup(this, items, globalPos);
        if (tag == kTagFill || tag == kTagFill + 1)
            m_view->SetBarFill(bar, tag - kTagFill == fill ? -1 : tag - kTagFill);
        return;
    }
    const bool slotChord = m_view->SelectedSlot() >= 0 && m_view->GetSelectedChord().button >= 0;
    const bool letters = m_song.Flag(kFlagChordLetters);
    items.push_back({.text = QStringLiteral("删除和弦"), .enabled = offset > 60 && slotChord, .tag = kTagDeleteChord});
    items.push_back({.text = QStringLiteral("重置全部和弦"), .enabled = m_view->AnyChord(), .tag = kTagResetChords});
    items.push_back({});
    items.push_back({.text = QStringLiteral("罗马数字显示"), .checked = !letters, .group = 1, .tag = kTagRoman});
    items.push_back({.text = QStringLiteral("英文字母显示"), .checked = letters, .group = 1, .tag = kTagLetters});
    switch (TPopMenu::Popup(this, items, globalPos)) {
    case kTagDeleteChord: DeleteSlotChord(); break;
    case kTagResetChords: m_view->ResetAllChords(); break;
    case kTagRoman: SetLetterDisplay(false); break;
    case kTagLetters: SetLetterDisplay(true); break;
    default: break;
    }
}

void TBaseForm::BarsChanged(int flags)
{
    (void)flags;
    RenewTools();
}

void TBaseForm::ChordsReset()
{
    // The composer fills the emptied slots with new chords.
    Generate(true);
    WaitForCompose();
    if (m_view->SelectedSlot() >= 0) {
        const ChordButtons chord = m_view->GetSelectedChord();
        ShowChord(chord);
        m_initialSlotChord = ComposeChord(chord);
    }
}

// ---- Key, timbre library, style, volumes ----------------------------------------

void TBaseForm::ChooseKey(int key, bool regenerate)
{
    if (key < 0 || key > 11 || key == m_song.key || m_composing)
        return;
    m_view->SetKey(key);
    m_lblKey->setText(QString::fromUtf8(KeyName(key)));
    if (!regenerate)
        return;
    SubmitMelody(m_song);
    m_song.ClearSong(kClearChordsAndFills | kClearStages | kClearSongForm);
    m_song.barVols.clear();
    m_song.lastComposeKey = key;
    RenewDegreePictures();
    Generate(false);
}

void TBaseForm::ChooseFont(int index)
{
    if (index < 0 || index >= static_cast<int>(m_song.fonts.size()) || index == m_song.timbreLibrary)
        return;
    const FONTINFO& font = m_song.fonts[static_cast<size_t>(index)];
    if (!Engines().mm.MM_SetFont || Engines().mm.MM_SetFont(&font) != 0)
        return;
    m_song.timbreLibrary = index;
    const std::string path = font.path;
    const size_t slash = path.find_last_of('/');
    m_song.timbreLibraryName = slash == std::string::npos ? path : path.substr(slash + 1);
    RenewLabels();
}

void TBaseForm::ChangeStyle()
{
    if (m_composing)
        return;
    StyleDialogInput io;
    io.styleId = m_song.styleId;
    io.styleFileName = m_song.styleFileName;
    io.fromBaseScreen = true;
    io.modeHint = SongModeHint(m_song);
    const int32_t before = m_song.styleId;
    const bool chosen = RunStyleDialog(this, m_session, io);
    if (chosen && io.styleId != m_song.styleId) {
        m_song.styleId = io.styleId;
        m_song.styleFileName = io.styleFileName;
    }
    if (m_song.styleId != before || !m_song.Flag(kFlagBaseAccompaniment))
        Generate(false);
    RenewLabels();
    if (m_main)
        m_main->setFocus();
}

void TBaseForm::ApplyVolume(int which, int p)
{
    m_volumePos[static_cast<size_t>(which)] = p;
    const float volume = static_cast<float>(100 - p) / 100.0f;
    (which == 0 ? m_song.voiceVolume : m_song.accompanimentVolume) = volume;
    if (Engines().mm.MM_SetStreamVolume)
        Engines().mm.MM_SetStreamVolume(which == 0 ? 2 : 3, volume);
}

void TBaseForm::PressVolumeTrack(int which, int x, int y)
{
    (which == 0 ? m_panelAudioVolSet : m_panelMusicVolSet)->PressTrack(x, y);
}

// ---- Leaving and keys -----------------------------------------------------------

void TBaseForm::LeaveStep(intptr_t)
{
    WaitForCompose();
    StopPlayback();
    m_song.SetFlag(kFlagLeftByStepBar, true);
    if (m_view->ChangedAspects(127) != 0) {
        switch (ShowMessageBox(QStringLiteral("确定对和弦与分段所做修改吗？"), 35)) {
        case kResultYes:
            Generate(false);
            WaitForCompose();
            break;
        case kResultNo:
            m_view->Revert();
            break;
        default:
            if (m_main)
                m_main->update();
            m_song.SetFlag(kFlagLeftByStepBar, false);
            return;
        }
    }
    SetTool(BaseTool::None);
    ClosePopups();
}

void TBaseForm::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (m_composing && key != Qt::Key_Escape) {
        event->accept();
        return;
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_7) {
        ClickDegree(key - Qt::Key_1);
        return;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_lbFontSelect->isVisible()) {
            const int row = m_lbFontSelect->currentRow();
            ClosePopups();
            ChooseFont(row);
        } else if (m_lbKeySelect->isVisible()) {
            const int row = m_lbKeySelect->currentRow();
            ClosePopups();
            ChooseKey(row, false);
        }
        return;
    case Qt::Key_Escape: Escape(); return;
    case Qt::Key_Space:
        if (m_playing)
            Pause();
        else
            Play();
        return;
    case Qt::Key_Delete:
        if (m_secondHalf)
            DeleteSlotChord();
        return;
    case Qt::Key_D:
        if (m_btnCombine->Enabled())
            SetTool(m_tool == BaseTool::Merge ? BaseTool::None : BaseTool::Merge);
        return;
    case Qt::Key_S:
        if (m_btnApart->Enabled())
            SetTool(m_tool == BaseTool::Split ? BaseTool::None : BaseTool::Split);
        return;
    case Qt::Key_K:
        if (m_btnKeyChange->Enabled())
            emit m_btnKeyChange->clicked();
        return;
    case Qt::Key_L:
        if (m_btnFontChange->Enabled())
            emit m_btnFontChange->clicked();
        return;
    case Qt::Key_T:
        if (m_btnStyleChange->Enabled())
            emit m_btnStyleChange->clicked();
        return;
    case Qt::Key_W:
        StopPlayback();
        if (!m_song.bars.empty()) {
            m_cursorBar = m_startBar = 0;
            m_cursorOffset = m_startOffset = 0;
            m_view->SetCursor(0, 0);
            RenewPosition();
        }
        return;
    case Qt::Key_F8: emit m_btnPrevStep->clicked(); return;
    case Qt::Key_F9: emit m_btnNextStep->clicked(); return;
    default: TScreenPage::keyPressEvent(event);
    }
}

} // namespace melodrift
