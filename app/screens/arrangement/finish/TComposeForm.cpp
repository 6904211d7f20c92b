#include "TComposeForm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSlider>
#include <QToolTip>

#include "AppSession.h"
#include "EngineTables.h"
#include "Patbank.h"
#include "FinishWidgets.h"
#include "Pipeline.h"
#include "SkinArt.h"
#include "SongFormLogic.h"
#include "SongModel.h"
#include "StyleDialog.h"
#include "TComposePanel.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TPopMenu.h"

namespace melodrift {

namespace {

constexpr int kItemHeight = 20;
constexpr int kStructure = kChangeStageCount | kChangeStageBounds;
constexpr int kAllAspects = kChangeChords | kChangeFills | kChangeStageCount | kChangeStageBounds | kChangePatterns |
                            kChangeStyles;
constexpr int kComposeAspects = kAllAspects & ~kChangeChords;

QString StyleName(int styleId)
{
    tagStyleInfo info{};
    if (!Engines().sm.SM_GetStyleInfo || Engines().sm.SM_GetStyleInfo(styleId, &info) != 0)
        return {};
    return QString::fromUtf8(info.name, static_cast<int>(strnlen(info.name, sizeof info.name)));
}

} // namespace

TComposeForm::TComposeForm(TMainForm& mainForm, AppSession& session, QWidget* parent)
    : TScreenPage(parent), m_main(mainForm), m_session(session), m_song(session.song)
{
    BuildControls();
    RegisterMessageTarget(this, this);
}

TComposeForm::~TComposeForm()
{
    m_clock.Stop();
    UnregisterMessageTarget(this);
}

void TComposeForm::BuildControls()
{
    setAutoFillBackground(true);
    m_btnReload = finishui::Button(this, 80, 30, QStringLiteral("生成伴奏"), QStringLiteral("生成伴奏"));
    m_btnStop = finishui::Button(this, 44, 30, QStringLiteral("停止"), QStringLiteral("停止"));
    m_btnPlay = finishui::Button(this, 44, 30, QStringLiteral("播放"), QStringLiteral("播放"));
    m_btnPause = finishui::Button(this, 44, 30, QStringLiteral("暂停"), QStringLiteral("暂停播放"));
    m_btnAudioEffect = finishui::Button(this, 44, 30, QStringLiteral("音效"), QStringLiteral("音频效果设置"));
    m_btnStyleChange = finishui::Button(this, 44, 30, QStringLiteral("风格"), QStringLiteral("选择风格"));
    m_btnPause->hide();
    connect(m_btnReload, &TPNGButton::clicked, this, [this] { GenerateClick(); });
    connect(m_btnStop, &TPNGButton::clicked, this, &TComposeForm::StopClick);
    connect(m_btnPlay, &TPNGButton::clicked, this, &TComposeForm::PlayClick);
    connect(m_btnPause, &TPNGButton::clicked, this, &TComposeForm::PauseClick);
    connect(m_btnAudioEffect, &TPNGButton::clicked, this,
            [this] { MDP_PostMessage(WindowHandle(&m_main), UM_AUDIO_EFFECTS, 0, 0); });
    connect(m_btnStyleChange, &TPNGButton::clicked, this, &TComposeForm::StyleClick);

    m_lblPlayTime = finishui::InfoLabel(this, 90);
    m_lblPlayTime->setToolTip(QStringLiteral("当前位置(节拍)"));
    m_lblBeat = finishui::InfoLabel(this, 40);
    m_lblTempo = finishui::InfoLabel(this, 40);
    m_lblKey = finishui::InfoLabel(this, 22);
    m_lblDiao = finishui::InfoLabel(this, 18);
    m_lblDiao->setText(QStringLiteral("调"));
    m_lblStyleName = finishui::InfoLabel(this, 150);

    m_lbResource = finishui::StageList(this);
    m_lbCompose = finishui::StageList(this);
    m_lbResource->viewport()->installEventFilter(this);
    m_lbCompose->viewport()->installEventFilter(this);
    connect(m_lbResource, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(m_lbCompose, &QListWidget::currentRowChanged, this, [this](int row) {
        m_view->SetSelectedStage(row);
        UpdateButtons();
    });

    m_btnAdd = finishui::Button(this, 36, 15, QStringLiteral("添加"), QStringLiteral("添加段落"));
    m_btnMoveUp = finishui::Button(this, 36, 15, QStringLiteral("上移"), QStringLiteral("上移"));
    m_btnMoveDown = finishui::Button(this, 36, 15, QStringLiteral("下移"), QStringLiteral("下移"));
    connect(m_btnAdd, &TPNGButton::clicked, this, &TComposeForm::AddClick);
    connect(m_btnMoveUp, &TPNGButton::clicked, this, &TComposeForm::MoveUpClick);
    connect(m_btnMoveDown, &TPNGButton::clicked, this, &TComposeForm::MoveDownClick);
    m_imgDelete = new QLabel(this);
    m_imgDelete->setToolTip(QStringLiteral("移除段落"));
    m_imgDelete->setPixmap(finishui::DeletePicture(false));
    m_imgDelete->setFixedSize(36, 15);

    m_view = new TComposePanel(m_song, this);
    m_view->installEventFilter(this);
    connect(m_view, &TComposePanel::pressed, this, &TComposeForm::ViewPressed);

    m_btnPrevStep = finishui::Button(this, 90, 30, QStringLiteral("上一步"), QStringLiteral("重新进行旋律分段及和弦配置"));
    m_btnNextStep = finishui::Button(this, 90, 30, QStringLiteral("下一步"), QStringLiteral("全曲录音和保存"));
    connect(m_btnPrevStep, &TPNGButton::clicked, this, [this] { GotoStep(2); });
    connect(m_btnNextStep, &TPNGButton::clicked, this, [this] { GotoStep(4); });
    m_sliderVoice = finishui::VolumeSlider(this, QStringLiteral("人声音量"));
    m_sliderMusic = finishui::VolumeSlider(this, QStringLiteral("伴奏音量"));
    connect(m_sliderVoice, &QSlider::valueChanged, this, &TComposeForm::SetVoiceVolume);
    connect(m_sliderMusic, &QSlider::valueChanged, this, &TComposeForm::SetMusicVolume);
    for (const auto& [name, text] : {std::pair{"voiceCaption", "人声"}, std::pair{"musicCaption", "伴奏"}}) {
        QLabel* caption = finishui::InfoLabel(this, 30);
        caption->setObjectName(QString::fromLatin1(name));
        caption->setText(QString::fromUtf8(text));
    }
    QLabel* headers[2] = {finishui::ListHeader(this, QStringLiteral("资源"), m_lbResource),
                          finishui::ListHeader(this, QStringLiteral("曲式结构"), m_lbCompose)};
    for (int panel = 0; panel < 2; ++panel) {
        // 最小化 shrinks this panel, 最大化 gives it the whole height, 收起 puts both away.
        const std::pair<skin::Glyph, const char*> kinds[3] = {
            {skin::Glyph::Minimise, "最小化"}, {skin::Glyph::Maximise, "最大化"}, {skin::Glyph::Close, "收起"}};
        for (int k = 0; k < 3; ++k) {
            auto* b = new TPNGButton(headers[panel]);
            b->SetPngImg(skin::ButtonStrip(14, 14, 4, QString(), kinds[k].first));
            b->SetHint(QString::fromUtf8(kinds[k].second));
            b->setObjectName(QStringLiteral("panel%1button%2").arg(panel).arg(k));
            const int mine = panel == 0 ? 2 : 1, other = panel == 0 ? 1 : 2;
            connect(b, &TPNGButton::clicked, this, [this, k, mine, other] { SetPanelMode(k == 0 ? other : k == 1 ? mine : 3); });
        }
    }
    m_panelListIcon = new QWidget(this);
    m_panelListIcon->hide();
    for (int panel = 0; panel < 2; ++panel) {
        auto* b = new TPNGButton(m_panelListIcon);
        b->SetPngImg(skin::ButtonStrip(22, 60, 4, panel == 0 ? QStringLiteral("资\n源") : QStringLiteral("曲\n式")));
        b->SetHint(panel == 0 ? QStringLiteral("展开资源表") : QStringLiteral("展开曲式结构表"));
        b->move(0, panel * 64);
        connect(b, &TPNGButton::clicked, this, [this, panel] { SetPanelMode(panel == 0 ? 2 : 1); });
    }
    m_panelListIcon->setFixedSize(22, 124);
}

void TComposeForm::resizeEvent(QResizeEvent*)
{
    const int w = width(), h = height();
    int x = 8;
    for (TPNGButton* b : {m_btnReload, m_btnStop, m_btnPlay, m_btnAudioEffect}) {
        b->move(x, 6);
        x += b->width() + 6;
        if (b == m_btnPlay) {
            m_btnPause->move(b->pos());
        }
    }
    x += 10;
    for (QLabel* l : {m_lblPlayTime, m_lblBeat, m_lblTempo, m_lblKey, m_lblDiao}) {
        l->move(x, 12);
        x += l->width() + 4;
    }
    m_btnStyleChange->move(w - 210, 6);
    m_lblStyleName->move(w - 160, 12);

    const int top = 46, bottom = h - 44;
    const bool lists = m_panelMode != 3;
    const SidePanelSplit split = SplitSidePanels(bottom - top, m_lbResource->count(), m_panelMode);
    for (QWidget* w2 : std::initializer_list<QWidget*>{m_lbResource, m_lbCompose, m_btnAdd, m_btnMoveUp, m_btnMoveDown, m_imgDelete})
        w2->setVisible(lists);
    m_panelListIcon->setVisible(!lists);
    m_panelListIcon->move(4, top);
    const int composeTop = top + split.resource;
    m_lbResource->setGeometry(6, top + 17, 152, std::max(0, split.resource - 17 - 4));
    m_lbResource->setVisible(lists && split.resource > 17);
    m_lbCompose->setGeometry(6, composeTop + 16, 152, std::max(0, split.compose - 31));
    m_lbCompose->setVisible(lists && split.compose > 31);
    const int barY = bottom - 16;
    m_btnAdd->move(8, barY);
    m_btnMoveUp->move(46, barY);
    m_btnMoveDown->move(84, barY);
    m_imgDelete->move(122, barY);
    for (QObject* child : children())
        if (auto* header = qobject_cast<QLabel*>(child); header && header->property("listHeader").isValid()) {
            const bool resource = header->property("listHeader").value<QListWidget*>() == m_lbResource;
            header->setGeometry(6, resource ? top : composeTop, 152, 16);
            header->setVisible(lists);
            for (int k = 0; k < 3; ++k)
                if (auto* b = header->findChild<TPNGButton*>(QStringLiteral("panel%1button%2").arg(resource ? 0 : 1).arg(k)))
                    b->move(152 - 3 * 15 + k * 15, 1);
        }
    const int viewLeft = lists ? 163 : 4 + 22 + 15;
    m_view->setGeometry(viewLeft, top, w - viewLeft - 6, bottom - top);
    m_btnPrevStep->move(8, h - 38);
    m_btnNextStep->move(w - 98, h - 38);
    findChild<QLabel*>(QStringLiteral("voiceCaption"))->move(120, h - 32);
    m_sliderVoice->move(150, h - 32);
    findChild<QLabel*>(QStringLiteral("musicCaption"))->move(256, h - 32);
    m_sliderMusic->move(286, h - 32);
}

void TComposeForm::SetPanelMode(int mode)
{
    m_panelMode = std::clamp(mode, 0, 3);
    resizeEvent(nullptr);
}

void TComposeForm::SetVoiceVolume(int percent)
{
    m_song.voiceVolume = percent / 100.0f;
    Engines().mm.MM_SetStreamVolume(5, m_song.voiceVolume);
}

void TComposeForm::SetMusicVolume(int percent)
{
    m_song.accompanimentVolume = percent / 100.0f;
    Engines().mm.MM_SetStreamVolume(4, m_song.accompanimentVolume);
}

void TComposeForm::FillResourceList()
{
    m_lbResource->clear();
    for (const ResourceItem& item : ResourceItems(m_song)) {
        tagComposeStage probe = SongFormEditor(m_song).NewStage(item.ref);
        auto* row = finishui::StageItem(item.text, StageColour(probe));
        row->setData(Qt::UserRole, item.ref);
        m_lbResource->addItem(row);
    }
}

void TComposeForm::FillComposeList()
{
    const int keep = m_lbCompose->currentRow();
    QSignalBlocker block(m_lbCompose);
    m_lbCompose->clear();
    for (int i = 0; i < static_cast<int>(m_song.songForm.size()); ++i) {
        const tagComposeStage& s = m_song.songForm[i];
        auto* item = finishui::StageItem(ComposeStageName(m_song, s), StageColour(s));
        item->setToolTip(QString::fromStdString(StageCaption(m_song, i, CaptionKind::SongFormEntry)));
        m_lbCompose->addItem(item);
    }
    if (keep >= 0 && keep < m_lbCompose->count())
        m_lbCompose->setCurrentRow(keep);
}

void TComposeForm::TakeSnapshots()
{
    m_composeBackup = TComposeBackup{};
    m_composeBackup.TakeSnapshot(m_song);
    m_melodyBackup = TMelodyBackup{};
    m_melodyBackup.TakeSnapshot(m_song);
}

int TComposeForm::PendingFlags()
{
    return m_composeBackup.ChangedAspects(m_song, kComposeAspects) |
           (m_melodyBackup.ChangedAspects(m_song, kChangeChords) & kChangeChords);
}

void TComposeForm::UpdateLabels()
{
    m_lblPlayTime->setText(QString::fromStdString(FormatPosition(m_song, m_cursorBar, m_cursorOffset)));
    static const char* const metres[] = {"4/4", "3/4", "2/4", "6/8"};
    m_lblBeat->setText(QString::fromLatin1(metres[std::clamp(m_song.metre, 0, 3)]));
    m_lblTempo->setText(QString::number(m_song.tempo));
    static const char* const keys[] = {"C", "bD", "D", "bE", "E", "F", "#F", "G", "bA", "A", "bB", "B"};
    const bool hasKey = m_song.key >= 0 && m_song.key < 12;
    m_lblKey->setText(hasKey ? QString::fromLatin1(keys[m_song.key]) : QStringLiteral("-"));
    m_lblDiao->setVisible(hasKey);
    const int sel = SelectedStage();
    m_lblStyleName->setText(StyleName(sel >= 0 ? m_song.songForm[sel].styleId : m_song.styleId));
}

void TComposeForm::UpdateButtons()
{
    SongFormEditor form(m_song);
    const int sel = SelectedStage();
    const bool stages = form.StageCount() > 0;
    m_btnAdd->SetEnabled(m_lbResource->currentRow() >= 0);
    m_btnMoveUp->SetEnabled(form.MoveUpEnabled(sel));
    m_btnMoveDown->SetEnabled(form.MoveDownEnabled(sel));
    m_btnReload->SetEnabled(stages && PendingFlags() != 0);
    m_btnPlay->SetEnabled(stages);
    UpdateLabels();
}

void TComposeForm::EnterStep()
{
    TSongModel& song = m_song;
    if (!song.Flag(kFlagBaseAccompaniment))
        BaseCompose(song);
    bool lengthsChanged = false;
    if (song.segmentStyleId != song.styleId) {
        RefreshSegmentBars(song);
        lengthsChanged = RefreshStageLengths(song);
        m_lbResource->clear();
    }
    if (m_lbCompose->count() != static_cast<int>(song.songForm.size())) {
        m_lbCompose->clear();
        m_lbResource->clear();
    }
    if (song.songForm.empty()) {
        BuildDefaultSongForm(song);
        if (!RunCompose(true))
            ShowMessageBox(QStringLiteral("自动编曲失败！"), 16);
    } else {
        const bool chordsChanged = (m_melodyBackup.ChangedAspects(song, kChangeChords) & kChangeChords) != 0;
        if (lengthsChanged || !song.Flag(kFlagComposed) || chordsChanged) {
            if (lengthsChanged)
                song.barVols.clear();
            if (!RunCompose(lengthsChanged || !song.Flag(kFlagFinalTake) || song.barVols.empty()))
                ShowMessageBox(QStringLiteral("自动编曲失败！"), 16);
            m_lbCompose->clear();
        } else {
            Engines().mm.MM_SetStreamVolume(4, song.accompanimentVolume);
            Engines().mm.MM_SetStreamVolume(5, song.voiceVolume);
        }
    }
    {
        const QSignalBlocker a(m_sliderVoice), b(m_sliderMusic);
        m_sliderVoice->setValue(static_cast<int>(song.voiceVolume * 100 + 0.5f));
        m_sliderMusic->setValue(static_cast<int>(song.accompanimentVolume * 100 + 0.5f));
    }
    TakeSnapshots();
    if (m_lbResource->count() == 0)
        FillResourceList();
    FillComposeList();
    m_view->Rebuild();
    SetCursor(0, 0);
    m_startBar = 0;
    resizeEvent(nullptr);
    UpdateButtons();
}

bool TComposeForm::RunCompose(bool combine)
{
    if (!Compose(m_song, -1, combine))
        return false;
    m_song.lastComposeKey = m_song.key;
    return true;
}

bool TComposeForm::GenerateClick()
{
    const bool structural = (PendingFlags() & kStructure) != 0;
    if (structural)
        StopClick();
    m_btnReload->SetEnabled(false);
    m_song.SetFlag(kFlagExported, false);
    if (!RunCompose(structural)) {
        m_btnReload->SetEnabled(true);
        ShowMessageBox(QStringLiteral("自动编曲失败！"), 16);
        return false;
    }
    if (structural)
        m_song.barVols.clear();
    TakeSnapshots();
    m_view->Rebuild();
    UpdateButtons();
    return true;
}

void TComposeForm::SetCursor(int bar, double offset)
{
    m_cursorBar = bar;
    m_cursorOffset = offset;
    m_view->SetCursor(bar, static_cast<int>(offset));
    m_lblPlayTime->setText(QString::fromStdString(FormatPosition(m_song, bar, offset)));
}

void TComposeForm::PlayClick()
{
    if (m_playing)
        return;
    const int pending = PendingFlags();
    if (pending != 0) {
        if ((pending & kStructure) && ShowMessageBox(QStringLiteral("确认曲式结构的修改吗？"), 33) != kResultOk)
            return;
        if (!GenerateClick())
            return;
    }
    const double start = m_paused ? m_cursorBar + m_cursorOffset / 120.0 : m_startBar;
    if (Engines().mm.MM_Play(WindowHandle(this), start, MM_PLAY_SONG) != 0)
        return;
    if (!m_paused)
        SetCursor(m_startBar, 0);
    m_paused = false;
    m_playing = true;
    m_view->SetPlaying(true);
    m_clock.Start(WindowHandle(this));
    m_btnPlay->hide();
    m_btnPause->show();
}

void TComposeForm::PauseClick()
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

void TComposeForm::StopClick()
{
    m_clock.Stop();
    if (m_playing || m_paused)
        Engines().mm.MM_Stop();
    m_playing = m_paused = false;
    m_view->SetPlaying(false);
    m_btnPause->hide();
    m_btnPlay->show();
    SetCursor(m_startBar, 0);
}

void TComposeForm::StopPlayback() { StopClick(); }

intptr_t TComposeForm::HandleMessage(uint32_t message, intptr_t wParam, intptr_t)
{
    switch (message) {
    case UM_CLOCK_TICK: {
        if (!m_playing)
            return 1;
        double offset = m_cursorOffset + m_song.ticksPerClockTick;
        int bar = m_cursorBar;
        while (offset >= 120) {
            offset -= 120;
            ++bar;
        }
        if (bar >= SongFormEditor(m_song).BarCount()) {
            StopClick();
            return 1;
        }
        SetCursor(bar, offset);
        return 1;
    }
    case UM_ENGINE_STOPPED:
        if (m_playing)
            StopClick();
        return 1;
    case UM_BARS_CHANGED:
        UpdateButtons();
        if ((wParam & kStructure) && m_playing) {
            StopClick();
            m_startBar = 0;
            SetCursor(0, 0);
        }
        return 1;
    default:
        return 0;
    }
}

int TComposeForm::SelectedStage() const { return m_lbCompose->currentRow(); }

void TComposeForm::SelectStage(int index)
{
    m_lbCompose->setCurrentRow(index);
    m_view->SetSelectedStage(index);
    UpdateButtons();
}

void TComposeForm::AfterEdit(bool structural)
{
    if (structural) {
        StopClick();
        m_startBar = 0;
        SetCursor(0, 0);
    }
    FillComposeList();
    m_view->Rebuild();
    MDP_PostMessage(WindowHandle(this), UM_BARS_CHANGED, PendingFlags(), 0);
    UpdateButtons();
}

void TComposeForm::AddClick()
{
    const int row = m_lbResource->currentRow();
    if (row < 0)
        return;
    const int ref = m_lbResource->item(row)->data(Qt::UserRole).toInt();
    StopClick();
    if (SongFormEditor(m_song).Append(ref)) {
        SelectStage(-1);
        AfterEdit(true);
    }
}

void TComposeForm::MoveUpClick()
{
    const int sel = SelectedStage();
    if (SongFormEditor(m_song).MoveUpEnabled(sel) && SongFormEditor(m_song).Move(sel, sel - 1)) {
        AfterEdit(true);
        SelectStage(sel - 1);
    }
}

void TComposeForm::MoveDownClick()
{
    const int sel = SelectedStage();
    if (SongFormEditor(m_song).MoveDownEnabled(sel) && SongFormEditor(m_song).Move(sel, sel + 2)) {
        AfterEdit(true);
        SelectStage(sel + 1);
    }
}

void TComposeForm::RemoveStage(int index)
{
    StopClick();
    if (SongFormEditor(m_song).Remove(index)) {
        SelectStage(-1);
        AfterEdit(true);
    }
}

void TComposeForm::SetStagePattern(int index, int pattern)
{
    if (SongFormEditor(m_song).SetPattern(index, pattern))
        AfterEdit(false);
}

void TComposeForm::ToggleStageFill(int index, int offset, int variant)
{
    if (SongFormEditor(m_song).ToggleFill(index, offset, variant))
        AfterEdit(false);
}

void TComposeForm::StageStyle(int index, bool songStyle)
{
    tagComposeStage& s = m_song.songForm[index];
    const bool melody = IsMelodyRef(s.ref);
    const int base = IsOutroRef(s.ref) ? kOutroRef : kIntroRef;
    StyleDialogInput io;
    io.styleId = songStyle ? m_song.styleId : s.styleId;
    io.fromBaseScreen = false;
    io.stageIndex = index;
    io.stageKind = melody ? 0 : IsOutroRef(s.ref) ? 2 : 1;
    io.variation = melody ? s.pattern : s.ref - base;
    io.modeHint = SongModeHint(m_song);
    if (!songStyle && !RunStyleDialog(this, m_session, io))
        return;
    if (io.styleId == s.styleId && io.variation == (melody ? s.pattern : s.ref - base))
        return;
    bool lengthChanged = false;
    s.styleId = io.styleId;
    if (melody) {
        s.pattern = std::clamp(io.variation, 0, 3);
    } else {
        const int ref = base + std::clamp(io.variation, 0, 3);
        const int bars = Engines().sm.SM_GetSegmentBarNum(ref, io.styleId);
        if (bars > 0) {
            s.ref = ref;
            lengthChanged = bars != s.barCount;
            s.barCount = bars;
        }
    }
    if (lengthChanged)
        m_song.barVols.clear();
    if (!RunCompose(lengthChanged || m_song.barVols.empty()))
        ShowMessageBox(QStringLiteral("自动编曲失败！"), 16);
    TakeSnapshots();
    FillComposeList();
    m_view->Rebuild();
    UpdateButtons();
}

void TComposeForm::StyleClick()
{
    StopClick();
    if (SelectedStage() >= 0) {
        StageStyle(SelectedStage(), false);
        return;
    }
    const int chosen = ChooseStyle(this, m_session, m_song.styleId);
    if (chosen < 0)
        return;
    bool lengthsChanged = false;
    if (chosen != m_song.styleId || m_song.segmentStyleId != chosen) {
        const int old = m_song.styleId;
        m_song.styleId = chosen;
        for (tagComposeStage& s : m_song.songForm)
            if (s.styleId == old)
                s.styleId = chosen;
        RefreshSegmentBars(m_song);
        lengthsChanged = RefreshStageLengths(m_song);
        if (lengthsChanged)
            m_song.barVols.clear();
        m_lbResource->clear();
        FillResourceList();
    }
    if (!RunCompose(lengthsChanged || m_song.barVols.empty()))
        ShowMessageBox(QStringLiteral("自动编曲失败！"), 16);
    TakeSnapshots();
    FillComposeList();
    m_view->Rebuild();
    UpdateButtons();
}

void TComposeForm::GotoStep(int page)
{
    MDP_PostMessage(WindowHandle(&m_main), UM_GOTO_STEP, page, reinterpret_cast<intptr_t>(this));
}

void TComposeForm::LeaveStep(intptr_t)
{
    StopClick();
    m_song.SetFlag(kFlagLeftByStepBar, true);
    if (PendingFlags() == 0)
        return;
    const int answer = ShowMessageBox(QStringLiteral("确定对曲式结构所做修改吗？"), 35);
    if (answer == kResultYes) {
        if (m_song.songForm.empty()) {
            ShowMessageBox(QStringLiteral("曲式结构不能为空!"), 16);
            m_song.SetFlag(kFlagLeftByStepBar, false);
            return;
        }
        if (PendingFlags() & kStructure)
            m_song.barVols.clear();
        m_song.SetFlag(kFlagComposed, false);
        TakeSnapshots();
    } else if (answer == kResultNo) {
        m_composeBackup.Revert(m_song);
        TakeSnapshots();
        SelectStage(-1);
        FillComposeList();
        m_view->Rebuild();
    } else {
        m_song.SetFlag(kFlagLeftByStepBar, false);
    }
}

int TComposeForm::ComposeListInsertion(const QPoint& viewportPos) const
{
    const int scroll = m_lbCompose->verticalScrollBar() ? m_lbCompose->verticalScrollBar()->value() : 0;
    const int row = (viewportPos.y() + kItemHeight / 2) / kItemHeight + scroll;
    return std::clamp(row, 0, m_lbCompose->count());
}

// Where a drop at a global point goes: 0 nowhere, 1 the compose list or the
// view (insertion position returned), 2 the remove picture.
int TComposeForm::DropTarget(const QPoint& global, int* where) const
{
    *where = -1;
    const QPoint inList = m_lbCompose->viewport()->mapFromGlobal(global);
    if (m_lbCompose->viewport()->rect().contains(inList)) {
        *where = ComposeListInsertion(inList);
        return 1;
    }
    const QPoint inView = m_view->mapFromGlobal(global);
    if (m_view->rect().contains(inView)) {
        *where = m_view->InsertionAt(inView);
        return *where >= 0 ? 1 : 0;
    }
    if (m_imgDelete->rect().contains(m_imgDelete->mapFromGlobal(global)))
        return 2;
    return 0;
}

void TComposeForm::BeginDrag(int source, int index)
{
    m_dragSource = source;
    m_dragIndex = index;
    m_dropAllowed = false;
}

void TComposeForm::DragTo(const QPoint& global)
{
    if (!Dragging())
        return;
    int where = -1;
    const int target = DropTarget(global, &where);
    SongFormEditor form(m_song);
    m_dropAllowed = false;
    if (target == 1) {
        m_dropAllowed = m_dragSource == kFromResource
                            ? form.CanInsert(m_lbResource->item(m_dragIndex)->data(Qt::UserRole).toInt(), where)
                            : form.CanMove(m_dragIndex, where);
    } else if (target == 2) {
        m_dropAllowed = m_dragSource != kFromResource;
    }
    m_view->SetInsertMark(target == 1 && m_dropAllowed ? where : -1);
    m_imgDelete->setPixmap(finishui::DeletePicture(target == 2 && m_dropAllowed));
    setCursor(m_dropAllowed ? (target == 2 ? Qt::DragMoveCursor : Qt::ArrowCursor) : Qt::ForbiddenCursor);
}

void TComposeForm::DropAt(const QPoint& global)
{
    if (!Dragging())
        return;
    int where = -1;
    const int target = DropTarget(global, &where);
    const int source = m_dragSource, index = m_dragIndex;
    m_dragSource = m_dragIndex = -1;
    m_dropAllowed = false;
    m_view->SetInsertMark(-1);
    m_imgDelete->setPixmap(finishui::DeletePicture(false));
    unsetCursor();
    SongFormEditor form(m_song);
    if (target == 1 && source == kFromResource) {
        if (form.Insert(m_lbResource->item(index)->data(Qt::UserRole).toInt(), where)) {
            SelectStage(-1);
            AfterEdit(true);
        }
    } else if (target == 1) {
        if (form.Move(index, where)) {
            SelectStage(-1);
            AfterEdit(true);
        }
    } else if (target == 2 && source != kFromResource) {
        RemoveStage(index);
    }
}

void TComposeForm::ViewPressed(QMouseEvent* e)
{
    int zone = kZoneNone;
    const QPoint at = e->position().toPoint();
    const int stage = m_view->StageAt(at, &zone);
    const BarHit hit = m_view->HitTest(at.x(), at.y(), false, false);
    if (zone == kZoneContent || (zone == kZoneTop && stage >= 0 && SongFormEditor(m_song).FirstBarOf(stage) == hit.bar))
        SelectStage(stage);
    else if (zone != kZoneTitle)
        SelectStage(-1);
    if (e->button() == Qt::LeftButton) {
        if (zone == kZoneTitle && hit.bar >= 0) {
            m_startBar = hit.bar;
            SetCursor(hit.bar, 0);
            if (m_playing) {
                StopClick();
                PlayClick();
            }
        } else if (zone == kZoneContent && stage >= 0) {
            BeginDrag(kFromView, stage);
        }
    } else if (e->button() == Qt::RightButton && stage >= 0) {
        ViewMenu(stage, zone, hit.bar, e->globalPosition().toPoint());
    }
}

void TComposeForm::ViewMenu(int stage, int zone, int bar, const QPoint& global)
{
    SongFormEditor form(m_song);
    const tagComposeStage& s = m_song.songForm[stage];
    std::vector<PopMenuItem> items;
    if (zone == kZoneTitle) {
        if (!IsMelodyRef(s.ref))
            return;
        const int offset = bar - form.FirstBarOf(stage);
        const int fill = form.FillAt(stage, offset);
        items.push_back({QStringLiteral("加花-1"), true, fill == 0, 0, 1});
        items.push_back({QStringLiteral("加花-2"), true, fill == 1, 0, 2});
        const int tag = TPopMenu::Popup(this, items, global);
        if (tag > 0)
            ToggleStageFill(stage, offset, tag - 1);
        return;
    }
    if (IsMelodyRef(s.ref)) {
        for (int p = 0; p < 4; ++p)
            items.push_back({QStringLiteral("伴奏类型 %1").arg(p + 1), true, s.pattern == p, 1, 10 + p});
        items.push_back({});
    }
    if (s.styleId != m_song.styleId)
        items.push_back({QStringLiteral("全局风格 - ") + StyleName(m_song.styleId), true, false, 0, 21});
    items.push_back({QStringLiteral("选择风格..."), true, false, 0, 20});
    items.push_back({});
    items.push_back({QStringLiteral("移除段落"), true, false, 0, 30});
    const int tag = TPopMenu::Popup(this, items, global);
    if (tag >= 10 && tag < 14)
        SetStagePattern(stage, tag - 10);
    else if (tag == 20) {
        SelectStage(stage);
        StyleClick();
    } else if (tag == 21) {
        StopClick();
        StageStyle(stage, true);
    }
    else if (tag == 30)
        RemoveStage(stage);
}

bool TComposeForm::eventFilter(QObject* watched, QEvent* e)
{
    const bool resource = watched == m_lbResource->viewport();
    const bool compose = watched == m_lbCompose->viewport();
    if (resource || compose) {
        QListWidget* list = resource ? m_lbResource : m_lbCompose;
        switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(e);
            QListWidgetItem* item = list->itemAt(me->position().toPoint());
            if (!item) {
                list->setCurrentRow(-1);
                return false;
            }
            list->setCurrentItem(item);
            if (me->button() == Qt::LeftButton)
                BeginDrag(resource ? kFromResource : kFromCompose, list->row(item));
            else if (me->button() == Qt::RightButton && compose)
                ViewMenu(list->row(item), kZoneContent, -1, me->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseButtonDblClick: {
            auto* me = static_cast<QMouseEvent*>(e);
            if (resource && list->itemAt(me->position().toPoint())) {
                m_dragSource = -1;
                AddClick();
                return true;
            }
            return false;
        }
        default:
            break;
        }
    }
    if (watched == m_view && e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        int zone = kZoneNone;
        const int stage = m_view->StageAt(help->pos(), &zone);
        if (stage >= 0 && zone == kZoneContent)
            QToolTip::showText(help->globalPos() - QPoint(0, 16),
                               QString::fromStdString(StageCaption(m_song, stage, CaptionKind::SongFormEntry)), m_view);
        else
            QToolTip::hideText();
        return true;
    }
    if (resource || compose || watched == m_view) {
        if (e->type() == QEvent::MouseMove && Dragging()) {
            DragTo(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
            return true;
        }
        if (e->type() == QEvent::MouseButtonRelease && Dragging()) {
            DropAt(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
            return true;
        }
    }
    return TScreenPage::eventFilter(watched, e);
}

bool TComposeForm::event(QEvent* e)
{
    if (DeliverMessageEvent(this, e))
        return true;
    return TScreenPage::event(e);
}

void TComposeForm::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Space:
        m_playing ? PauseClick() : PlayClick();
        return;
    case Qt::Key_T:
        StyleClick();
        return;
    case Qt::Key_W:
        if (!m_song.bars.empty()) {
            StopClick();
            m_startBar = 0;
            SetCursor(0, 0);
        }
        return;
    case Qt::Key_F8:
        GotoStep(2);
        return;
    case Qt::Key_F9:
        GotoStep(4);
        return;
    default:
        TScreenPage::keyPressEvent(e);
    }
}

} // namespace melodrift
