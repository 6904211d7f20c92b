#include "TSetupForm.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "AppSession.h"
#include "EngineTables.h"
#include "PlaybackClock.h"
#include "RecordingArt.h"
#include "SkinArt.h"
#include "StyleDialog.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

constexpr int kRecommendedMax = 30;
const QRectF kPointerRect(89, 0, 53, 126);
const QRectF kPointerGrab(81, 10, 45, 77);
const QRectF kTapPad(77, 85, 74, 74);
const QPointF kPivot(114, 114);
const QRect kRingOuter(453, 198, 259, 259);
const QRect kRingInner(478, 223, 209, 209);

uint32_t MillisecondClock()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TPNGButton* MakeButton(QWidget* parent, const QString& caption, int w, int h, const QString& hint = {},
                       skin::Glyph glyph = skin::Glyph::None)
{
    auto* b = new TPNGButton(parent);
    b->SetPngImg(skin::ButtonStrip(w, h, 4, caption, glyph));
    if (!hint.isEmpty())
        b->SetHint(hint);
    return b;
}

QString Text(const char* field, size_t size)
{
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, size)));
}

} // namespace

TSetupForm::TSetupForm(TMainForm& form, AppSession& session, QWidget* parent)
    : TScreenPage(parent), m_form(form), m_session(session), m_song(session.song)
{
    RegisterMessageTarget(this, this);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(810, 500);
    clock = MillisecondClock;

    const char* metreNames[4] = {"4/4", "3/4", "2/4", "6/8"};
    for (int i = 0; i < 4; ++i) {
        m_btnBeats[i] = MakeButton(this, QString::fromLatin1(metreNames[i]), 78, 40);
        m_btnBeats[i]->setGeometry(80 + i * 88, 250, 78, 40);
        connect(m_btnBeats[i], &TPNGButton::clicked, this, [this, i] { ClickMetre(i); });
    }
    m_panPointer = new QWidget(this);
    m_panPointer->setGeometry(kDialCentreX - 114, kDialCentreY - 114, 229, 229);
    m_panPointer->installEventFilter(this);
    m_panPointer->setMouseTracking(true);
    m_panPointer->setAttribute(Qt::WA_TranslucentBackground);

    m_labSpeed = new QLabel(this);
    m_labSpeed->setFont(skin::SkinFont(20, true));
    m_labSpeed->setAlignment(Qt::AlignCenter);
    m_labSpeed->setGeometry(240, 330, 80, 34);
    m_btnSpeedDown = MakeButton(this, QStringLiteral("－"), 34, 34);
    m_btnSpeedDown->setGeometry(196, 330, 34, 34);
    m_btnSpeedUp = MakeButton(this, QStringLiteral("＋"), 34, 34);
    m_btnSpeedUp->setGeometry(330, 330, 34, 34);
    connect(m_btnSpeedUp, &TPNGButton::clicked, this, [this] { StepTempo(1); });
    connect(m_btnSpeedDown, &TPNGButton::clicked, this, [this] { StepTempo(-1); });
    m_btnBeatPreview0 = MakeButton(this, QStringLiteral("试听"), 70, 30, QStringLiteral("速度试听"));
    m_btnBeatPreview1 = MakeButton(this, QStringLiteral("停止"), 70, 30, QStringLiteral("速度试听"));
    m_btnBeatPreview0->setGeometry(245, 380, 70, 30);
    m_btnBeatPreview1->setGeometry(245, 380, 70, 30);
    m_btnBeatPreview1->hide();
    connect(m_btnBeatPreview0, &TPNGButton::clicked, this, &TSetupForm::StartPreview);
    connect(m_btnBeatPreview1, &TPNGButton::clicked, this, &TSetupForm::StopPreview);

    m_panBrowse = new QWidget(this);
    m_panBrowse->setGeometry(87, 40, 636, 130);
    m_panBrowse->installEventFilter(this);
    m_panBrowse->setMouseTracking(true);
    m_btnBrowseLeft = MakeButton(this, QStringLiteral("◀"), 30, 60, QStringLiteral("向右浏览"));
    m_btnBrowseLeft->setGeometry(50, 75, 30, 60);
    m_btnBrowseRight = MakeButton(this, QStringLiteral("▶"), 30, 60, QStringLiteral("向左浏览"));
    m_btnBrowseRight->setGeometry(730, 75, 30, 60);
    for (TPNGButton* b : {m_btnBrowseLeft, m_btnBrowseRight})
        b->installEventFilter(this);
    m_btnStyles = MakeButton(this, QStringLiteral("更多风格"), 96, 30, QStringLiteral("从风格库中选择风格"));
    m_btnStyles->setGeometry(627, 8, 96, 30);
    connect(m_btnStyles, &TPNGButton::clicked, this, &TSetupForm::OpenStyleDialog);
    m_btnNextStep = MakeButton(this, QStringLiteral("下一步"), 96, 36, QStringLiteral("旋律录制及修改"));
    m_btnNextStep->setGeometry(700, 455, 96, 36);
    connect(m_btnNextStep, &TPNGButton::clicked, this, [this] { PostToMain(UM_GOTO_STEP, 1, 0); });

    for (QLabel** hint : {&m_lblStyleHint, &m_lblTapHint}) {
        *hint = new QLabel(this);
        (*hint)->setFont(skin::SkinFont(12));
        (*hint)->setStyleSheet(QStringLiteral("background:#FFF8EC;color:#3C2B17;border:1px solid #A47346;padding:4px;"));
        (*hint)->hide();
    }
    m_animation.setInterval(30);
    connect(&m_animation, &QTimer::timeout, this, &TSetupForm::AnimationTick);
    m_styleHintTimer.setSingleShot(true);
    m_styleHintTimer.setInterval(500);
    m_tapHintTimer.setSingleShot(true);
    m_tapHintTimer.setInterval(500);
    connect(&m_tapHintTimer, &QTimer::timeout, this, [this] {
        m_lblTapHint->setText(QStringLiteral("Tap: 设置速度\n连续点击鼠标或空格键"));
        m_lblTapHint->adjustSize();
        const QPoint c = m_panPointer->geometry().center() + QPoint(0, 37);
        m_lblTapHint->move(c.x() - m_lblTapHint->width() / 2, c.y());
        m_lblTapHint->show();
        m_lblTapHint->raise();
    });
    connect(&m_styleHintTimer, &QTimer::timeout, this, [this] {
        const int i = m_carousel.hovered;
        if (i < 0 || i >= static_cast<int>(m_styles.size()))
            return;
        const tagStyleInfo& s = m_styles[static_cast<size_t>(i)];
        m_lblStyleHint->setText(QStringLiteral("风格名称：%1\n作    者：%2\n原    速：%3\n简    介：%4")
                                    .arg(Text(s.name, sizeof s.name), Text(s.author, sizeof s.author))
                                    .arg(s.tempo)
                                    .arg(Text(s.description, sizeof s.description)));
        m_lblStyleHint->adjustSize();
        const int count = m_carousel.Count();
        const int slot = ((i - m_carousel.first) % count + count) % count;
        const int x = std::max(0, slot * m_carousel.SlotWidth() + m_carousel.offset);
        m_lblStyleHint->move(m_panBrowse->x() + x, m_panBrowse->geometry().bottom() + 4);
        m_lblStyleHint->show();
        m_lblStyleHint->raise();
    });

    const QPixmap& disk = recording::DiskPicture(0, false);
    m_carousel.SetGeometry(m_panBrowse->width(), disk.width(), disk.height(), recording::DiskCover().width());
    LoadRecommended();
    m_btnBeats[std::clamp(m_song.metre, 0, 3)]->SetDown(true);
}

TSetupForm::~TSetupForm()
{
    UnregisterMessageTarget(this);
}

void TSetupForm::PostToMain(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    MDP_PostMessage(WindowHandle(&m_form), message, wParam,
                    message == UM_GOTO_STEP ? reinterpret_cast<intptr_t>(WindowHandle(this)) : lParam);
}

intptr_t TSetupForm::HandleMessage(uint32_t message, intptr_t, intptr_t)
{
    // A demonstration or preview that ended by itself needs nothing here.
    return message == UM_ENGINE_STOPPED ? 1 : 0;
}

bool TSetupForm::event(QEvent* event)
{
    if (DeliverMessageEvent(this, event))
        return true;
    return TScreenPage::event(event);
}

void TSetupForm::LoadRecommended()
{
    m_styles.assign(kRecommendedMax, tagStyleInfo{});
    int32_t count = kRecommendedMax;
    const auto& sm = Engines().sm;
    if (!sm.SM_GetStyleRecomInfos || sm.SM_GetStyleRecomInfos(m_song.metre, m_styles.data(), &count) != 0)
        count = 0;
    m_styles.resize(static_cast<size_t>(std::clamp(count, 0, kRecommendedMax)));
    m_carousel.SetCount(static_cast<int>(m_styles.size()));
    m_carousel.running = !m_styles.empty();
    if (m_carousel.running)
        m_animation.start();
    else
        m_animation.stop();
}

void TSetupForm::ResetCarousel()
{
    m_carousel.ClearSelection();
    m_animation.start();
}

int TSetupForm::LabelTempo() const
{
    return m_labSpeed->text().toInt();
}

bool TSetupForm::PreviewRunning() const
{
    return !m_btnBeatPreview1->isHidden();
}

void TSetupForm::ShowTempo(int tempo, bool moveDial)
{
    if (moveDial)
        m_angle = DialAngleFromTempo(tempo);
    m_labSpeed->setText(QString::number(tempo));
    m_panPointer->update();
}

void TSetupForm::EnterStep()
{
    m_pointerHover = m_pointerHeld = false;
    m_tapState = 0;
    m_angle = DialAngleFromTempoOnEntry(m_song.tempo);
    m_labSpeed->setText(QString::number(m_song.tempo));
    QPalette pal = m_labSpeed->palette();
    pal.setColor(QPalette::WindowText, skin::kInk);
    m_labSpeed->setPalette(pal);
    const int metre = std::clamp(m_song.metre, 0, 3);
    if (!m_btnBeats[metre]->Down()) {
        for (int i = 0; i < 4; ++i)
            m_btnBeats[i]->SetDown(i == metre);
        Engines().mm.MM_Stop();
        LoadRecommended();
    } else if (m_carousel.Count() == 0) {
        LoadRecommended();
    }
    m_entryMetre = m_song.metre;
    m_entryTempo = m_song.tempo;
    m_entryStyle = m_song.styleId;
    setFocus();
    update();
}

void TSetupForm::ClickMetre(int metre)
{
    if (metre < 0 || metre > 3 || metre == m_song.metre)
        return;
    Engines().mm.MM_Stop();
    for (int i = 0; i < 4; ++i)
        m_btnBeats[i]->SetDown(i == metre);
    SetMetre(m_song, metre, false);
    if (PreviewRunning())
        Engines().mm.MM_Play(WindowHandle(this), 0, MM_PLAY_TEMPO);
    m_song.genreMask = 0;
    m_song.styleId = -1;
    m_song.styleFileName.clear();
    LoadRecommended();
    m_carousel.lastPlayed = -1;
    PostToMain(UM_STEP_ENABLE, StepMaskForMetre(metre, m_entryMetre), 0);
    update();
}

void TSetupForm::SetDialAngle(int angle)
{
    if (angle == m_angle || angle < -kDialLimit || angle > kDialLimit)
        return;
    m_angle = angle;
    const int tempo = TempoFromDialAngle(angle);
    ShowTempo(tempo, false);
    SetTempo(m_song, tempo, false);
}

void TSetupForm::PressRingAt(QPoint at)
{
    const QPainterPath ring = [] {
        QPainterPath outer, inner;
        outer.addEllipse(kRingOuter);
        inner.addEllipse(kRingInner);
        return outer.subtracted(inner);
    }();
    if (!ring.contains(at))
        return;
    if (const auto a = DialAngleFromVector(at.x() - kDialCentreX, at.y() - kDialCentreY, m_angle))
        SetDialAngle(*a);
}

void TSetupForm::StepTempo(int delta)
{
    const int tempo = LabelTempo() + delta;
    if (tempo < kMinTempo || tempo > kMaxTempo)
        return;
    ShowTempo(tempo, true);
    SetTempo(m_song, tempo, false);
}

void TSetupForm::TapPress(uint32_t nowMs)
{
    m_tapState = 2;
    const TapTempo::Result r = m_taps.Tap(nowMs);
    if (r.tempo >= 0)
        ShowTempo(r.tempo, true);
    m_panPointer->update();
}

void TSetupForm::TapRelease()
{
    SetTempo(m_song, LabelTempo(), false);
    const QPointF at = m_panPointer->mapFromGlobal(QCursor::pos());
    m_tapState = OnTapPad(at) && m_panPointer->underMouse() ? 1 : 0;
    m_panPointer->update();
}

void TSetupForm::StartPreview()
{
    m_btnBeatPreview0->hide();
    m_btnBeatPreview1->show();
    Engines().mm.MM_Stop();
    ResetCarousel();
    Engines().mm.MM_Play(WindowHandle(this), 0, MM_PLAY_TEMPO);
}

void TSetupForm::StopPreview()
{
    m_btnBeatPreview1->hide();
    m_btnBeatPreview0->show();
    Engines().mm.MM_Stop();
}

void TSetupForm::ApplyStyleRecord(const tagStyleInfo& info)
{
    m_song.styleId = info.id;
    m_song.styleFileName = Text(info.name, sizeof info.name).toStdString();
    m_song.genreMask = GenreMaskOf(info.categories);
}

void TSetupForm::ChooseStyle(int index)
{
    if (index < 0 || index >= static_cast<int>(m_styles.size()) || index == m_carousel.selected)
        return;
    if (PreviewRunning())
        StopPreview();
    m_lblStyleHint->hide();
    m_styleHintTimer.stop();
    const tagStyleInfo& info = m_styles[static_cast<size_t>(index)];
    ApplyStyleRecord(info);
    m_carousel.Choose(index);
    m_btnBrowseLeft->SetDown(false);
    m_btnBrowseRight->SetDown(false);
    m_animation.start();
    if (!m_song.Flag(kFlagMelody) && info.tempo != m_song.tempo) {
        const int tempo = std::clamp<int>(info.tempo, kMinTempo, kMaxTempo);
        ShowTempo(tempo, true);
        SetTempo(m_song, tempo, false);
    }
    if (m_carousel.selected != m_carousel.lastPlayed) {
        Engines().mm.MM_Stop();
        m_carousel.lastPlayed = m_carousel.selected;
    }
    m_panBrowse->update();
}

void TSetupForm::PlayDemo()
{
    const int i = m_carousel.selected;
    if (i < 0 || i >= static_cast<int>(m_styles.size()) || !Engines().sm.SM_GetStyleDemo)
        return;
    std::vector<uint8_t> buffer(kDemoBufferSize);
    int32_t size = kDemoBufferSize;
    if (Engines().sm.SM_GetStyleDemo(&size, buffer.data(), m_styles[static_cast<size_t>(i)].id, -1, -1, -1, -1) != 0 ||
        size <= 0 || size > kDemoBufferSize)
        return;
    Engines().mm.MM_PlayStyleDemo(buffer.data(), size, m_song.tempo);
}

void TSetupForm::BrowseClick(int dir, bool leftButton)
{
    if (m_carousel.selected >= 0)
        Engines().mm.MM_Stop();
    (dir < 0 ? m_btnBrowseLeft : m_btnBrowseRight)->SetDown(true);
    (dir < 0 ? m_btnBrowseRight : m_btnBrowseLeft)->SetDown(false);
    m_carousel.Browse(dir, leftButton);
    m_lblStyleHint->hide();
    if (m_carousel.Count() > 0)
        m_animation.start();
}

void TSetupForm::AnimationTick()
{
    if (m_carousel.Count() == 0) {
        m_animation.stop();
        return;
    }
    if (m_carousel.Tick()) {
        m_animation.stop();
        PlayDemo();
    }
    m_panBrowse->update();
}

void TSetupForm::OpenStyleDialog()
{
    if (PreviewRunning())
        StopPreview();
    Engines().mm.MM_Stop();
    StyleDialogInput io;
    io.styleId = m_song.styleId;
    io.styleFileName = m_song.styleFileName;
    io.fromBaseScreen = false;
    if (!RunStyleDialog(this, m_session, io) || io.styleId < 0)
        return;
    tagStyleInfo info{};
    if (Engines().sm.SM_GetStyleInfo && Engines().sm.SM_GetStyleInfo(io.styleId, &info) == 0) {
        ApplyStyleRecord(info);
    } else {
        m_song.styleId = io.styleId;
        m_song.styleFileName = io.styleFileName;
    }
    ResetCarousel();
    update();
}

void TSetupForm::StopPlayback()
{
    if (PreviewRunning())
        StopPreview();
    Engines().mm.MM_Stop();
}

void TSetupForm::LeaveStep(intptr_t sender)
{
    if (PreviewRunning())
        StopPreview();
    Engines().mm.MM_Stop();
    m_animation.stop();
    m_styleHintTimer.stop();
    m_carousel.Stop();
    m_carousel.ClearSelection();
    m_carousel.running = false;
    m_btnBrowseLeft->SetDown(false);
    m_btnBrowseRight->SetDown(false);
    m_lblStyleHint->hide();
    m_song.SetFlag(kFlagLeftByStepBar, true);

    const bool tempoChanged = m_song.tempo != m_entryTempo;
    const bool metreChanged = m_song.metre != m_entryMetre;
    auto restoreEntry = [this] {
        SetTempo(m_song, m_entryTempo, false);
        SetMetre(m_song, m_entryMetre, false);
        m_song.styleId = m_entryStyle;
        PostToMain(UM_STEP_ENABLE, 31, 0);
    };
    if (sender != 0 && (tempoChanged || metreChanged)) {
        const bool hasProject = !m_song.projectPath.empty();
        if (!m_song.bars.empty() && (!hasProject || m_song.IsModified(m_entryStyle))) {
            TMessageForm* box = MessageForm();
            if (box) {
                box->m_btnYes->SetHint(QStringLiteral("保存当前工程并新建工程"));
                box->m_btnNo->SetHint(QStringLiteral("放弃当前工程并新建工程"));
                box->m_btnCancel->SetHint(QStringLiteral("恢复当前工程设定"));
            }
            const int answer = ShowMessageBox(LeaveQuestion(tempoChanged, metreChanged, true), 35);
            if (box)
                for (TPNGButton* b : {box->m_btnYes, box->m_btnNo, box->m_btnCancel})
                    b->SetHint(QString());
            if (answer == kResultYes) {
                const int newTempo = m_song.tempo, newMetre = m_song.metre, newStyle = m_song.styleId;
                SetTempo(m_song, m_entryTempo, false);
                SetMetre(m_song, m_entryMetre, false);
                m_song.styleId = m_entryStyle;
                m_form.HandleMessage(UM_SAVE_PROJECT, 0, 0);
                SetTempo(m_song, newTempo, false);
                SetMetre(m_song, newMetre, false);
                m_song.styleId = newStyle;
                m_form.HandleMessage(UM_NEW_PROJECT, 0, 0);
                m_song.SetFlag(kFlagLeftByStepBar, false);
            } else if (answer == kResultNo) {
                m_form.HandleMessage(UM_NEW_PROJECT, 0, 0);
                m_song.SetFlag(kFlagLeftByStepBar, false);
            } else {
                restoreEntry();
            }
        } else if (hasProject) {
            if (ShowMessageBox(LeaveQuestion(tempoChanged, metreChanged, false), 33) == kResultOk) {
                m_form.HandleMessage(UM_NEW_PROJECT, 0, 0);
                m_song.SetFlag(kFlagLeftByStepBar, false);
            } else {
                restoreEntry();
            }
        }
    } else if (sender != 0 && m_song.styleId != m_entryStyle) {
        m_song.SetFlag(kFlagBaseAccompaniment, false);
        m_song.SetFlag(kFlagComposed, false);
    }

    if (m_song.styleId == -1) {
        if (m_carousel.Count() == 0)
            LoadRecommended();
        m_animation.stop();
        if (!m_styles.empty()) {
            std::srand(static_cast<unsigned>(std::time(nullptr)));
            ApplyStyleRecord(m_styles[static_cast<size_t>(std::rand() % static_cast<int>(m_styles.size()))]);
        }
    }
    m_entryStyle = m_song.styleId;
    Engines().mm.MM_SetTimeSignature(m_song.metre);
}

// ---- input ---------------------------------------------------------------

bool TSetupForm::OnPointer(QPointF at) const
{
    QTransform t;
    t.translate(kPivot.x(), kPivot.y());
    t.rotate(m_angle);
    t.translate(-kPivot.x(), -kPivot.y());
    return t.map(QPolygonF(kPointerGrab)).containsPoint(at, Qt::OddEvenFill);
}

bool TSetupForm::OnTapPad(QPointF at) const
{
    return kTapPad.contains(at);
}

void TSetupForm::PointerMouse(QEvent* event)
{
    auto* me = static_cast<QMouseEvent*>(event);
    const QPointF at = me->position();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (me->button() != Qt::LeftButton)
            return;
        if (OnPointer(at)) {
            m_pointerHeld = true;
            m_panPointer->setCursor(Qt::ClosedHandCursor);
        } else if (OnTapPad(at)) {
            TapPress(clock());
        } else {
            PressRingAt(m_panPointer->mapTo(this, at.toPoint()));
        }
        break;
    case QEvent::MouseMove:
        if (m_pointerHeld) {
            if (const auto a = DialAngleFromVector(at.x() - kPivot.x(), at.y() - kPivot.y(), m_angle))
                SetDialAngle(*a);
        } else {
            const bool over = OnPointer(at);
            if (over != m_pointerHover) {
                m_pointerHover = over;
                m_panPointer->setCursor(over ? Qt::OpenHandCursor : Qt::ArrowCursor);
            }
            const bool onPad = OnTapPad(at);
            if (onPad && m_tapState == 0) {
                m_tapState = 1;
                m_tapHintTimer.start();
            } else if (!onPad && m_tapState == 1) {
                m_tapState = 0;
                m_tapHintTimer.stop();
                m_lblTapHint->hide();
            }
        }
        m_panPointer->update();
        break;
    case QEvent::MouseButtonRelease:
        SetTempo(m_song, LabelTempo(), false);
        if (me->button() == Qt::LeftButton) {
            if (m_pointerHeld) {
                m_pointerHeld = false;
                m_pointerHover = OnPointer(at);
                m_panPointer->setCursor(m_pointerHover ? Qt::OpenHandCursor : Qt::ArrowCursor);
            } else {
                m_tapState = OnTapPad(at) ? 1 : 0;
            }
        }
        m_panPointer->update();
        break;
    case QEvent::Leave:
        m_tapHintTimer.stop();
        m_lblTapHint->hide();
        if (m_tapState == 1)
            m_tapState = 0;
        m_pointerHover = false;
        m_panPointer->update();
        break;
    default: break;
    }
}

void TSetupForm::BrowseMouse(QEvent* event)
{
    if (event->type() == QEvent::Leave) {
        m_carousel.hovered = -1;
        m_styleHintTimer.stop();
        m_lblStyleHint->hide();
        if (m_carousel.direction != 0 && !m_carousel.centring && !m_carousel.opening && m_carousel.Count() > 0)
            m_animation.start();
        return;
    }
    auto* me = static_cast<QMouseEvent*>(event);
    const QPoint at = me->position().toPoint();
    if (event->type() == QEvent::MouseButtonPress && me->button() == Qt::LeftButton) {
        const int i = m_carousel.DiskAt(at.x(), at.y());
        if (i >= 0)
            ChooseStyle(i);
    } else if (event->type() == QEvent::MouseMove && !m_carousel.centring && !m_carousel.opening &&
               m_carousel.Count() > 0) {
        const int i = m_carousel.DiskAt(at.x(), at.y());
        if (i >= 0 && i != m_carousel.hovered) {
            m_carousel.hovered = i;
            m_animation.stop();
            m_lblStyleHint->hide();
            m_styleHintTimer.start();
        } else if (i < 0 && m_carousel.hovered >= 0) {
            m_carousel.hovered = -1;
            m_styleHintTimer.stop();
            m_lblStyleHint->hide();
            if (m_carousel.direction != 0)
                m_animation.start();
        }
    }
}

bool TSetupForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panPointer) {
        if (event->type() == QEvent::Paint) {
            QPainter p(m_panPointer);
            PaintPointer(p);
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove ||
            event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::Leave)
            PointerMouse(event);
    } else if (watched == m_panBrowse) {
        if (event->type() == QEvent::Paint) {
            QPainter p(m_panBrowse);
            PaintCarousel(p);
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove ||
            event->type() == QEvent::Leave)
            BrowseMouse(event);
    } else if ((watched == m_btnBrowseLeft || watched == m_btnBrowseRight) &&
               event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        BrowseClick(watched == m_btnBrowseLeft ? -1 : 1, me->button() == Qt::LeftButton);
        return true;
    }
    return TScreenPage::eventFilter(watched, event);
}

void TSetupForm::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        PressRingAt(event->position().toPoint());
}

void TSetupForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            TapPress(clock());
        return;
    }
    if (event->key() == Qt::Key_F9) {
        if (m_btnNextStep->Enabled())
            PostToMain(UM_GOTO_STEP, 1, 0);
        return;
    }
    QApplication::sendEvent(&m_form, event);
}

void TSetupForm::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        TapRelease();
}

// ---- painting ------------------------------------------------------------

void TSetupForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, recording::SetupBackground(width(), height()));
    p.setRenderHint(QPainter::Antialiasing);
    // The dial's ring with its tempo marks.
    QPainterPath ring;
    ring.addEllipse(kRingOuter);
    QPainterPath inner;
    inner.addEllipse(kRingInner);
    p.fillPath(ring.subtracted(inner), QColor(0xE8, 0xC3, 0x92));
    p.setPen(QPen(QColor(0xA4, 0x73, 0x46), 1.5));
    p.drawEllipse(kRingOuter);
    p.drawEllipse(kRingInner);
    p.setFont(skin::SkinFont(11));
    for (int tempo = 50; tempo <= 200; tempo += 25) {
        const double a = DialAngleFromTempo(tempo) * M_PI / 180.0;
        const QPointF dir(std::sin(a), -std::cos(a));
        const QPointF c(kDialCentreX, kDialCentreY);
        p.drawLine(c + dir * 104.5, c + dir * 112);
        p.setPen(skin::kInk);
        p.drawText(QRectF(c + dir * 121 - QPointF(14, 7), QSizeF(28, 14)), Qt::AlignCenter, QString::number(tempo));
        p.setPen(QPen(QColor(0xA4, 0x73, 0x46), 1.5));
    }
    p.setPen(skin::kInk);
    p.setFont(skin::SkinFont(15, true));
    p.drawText(QRect(80, 215, 360, 26), Qt::AlignLeft, QStringLiteral("节拍"));
    p.drawText(QRect(196, 300, 170, 26), Qt::AlignCenter, QStringLiteral("速度（拍/分钟）"));
    p.drawText(QRect(87, 12, 400, 26), Qt::AlignLeft, QStringLiteral("推荐风格"));
    if (m_song.styleId >= 0) {
        p.setFont(skin::SkinFont(13));
        p.drawText(QRect(87, 190, 636, 22), Qt::AlignCenter,
                   QStringLiteral("当前风格：%1").arg(QString::fromStdString(m_song.styleFileName)));
    }
}

void TSetupForm::PaintPointer(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(kTapPad.topLeft(), recording::TapPad(m_tapState));
    p.save();
    p.translate(kPivot);
    p.rotate(m_angle);
    p.translate(-kPivot);
    p.drawPixmap(kPointerRect.topLeft(), recording::DialPointer(m_pointerHover || m_pointerHeld));
    p.restore();
}

void TSetupForm::PaintCarousel(QPainter& p)
{
    if (m_carousel.Count() == 0) {
        p.setPen(skin::kInk);
        p.setFont(skin::SkinFont(13));
        p.drawText(m_panBrowse->rect(), Qt::AlignCenter, QStringLiteral("没有该节拍的推荐风格"));
        return;
    }
    m_carousel.Wrap();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(skin::SkinFont(10));
    for (const StyleCarousel::Disk& d : m_carousel.Disks()) {
        const tagStyleInfo& s = m_styles[static_cast<size_t>(d.index)];
        const int picture = DiskPictureOf(s.categories);
        const QPixmap& disk = recording::DiskPicture(picture, d.selected);
        p.drawPixmap(d.x, 0, disk);
        p.setPen(d.selected ? QColor(Qt::white) : QColor(0xDA, 0xD7, 0xD1));
        p.drawText(QRect(d.x, disk.height() / 2 + 12, disk.width(), 14), Qt::AlignCenter,
                   QStringLiteral("NO.%1").arg(d.index + 1));
        if (d.selected)
            p.drawPixmap(d.x + m_carousel.sleeveOffset, 0, recording::DiskCover());
    }
}

} // namespace melodrift
