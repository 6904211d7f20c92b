#include "TMainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStackedWidget>
#include <QWindow>

#include "AppSession.h"
#include "MainLogic.h"
#include "SettingsStore.h"
#include "SkinArt.h"
#include "TLoginArea.h"
#include "TPNGButton.h"
#include "ScreenRegistry.h"
#include "TScreenPage.h"

namespace melodrift {

namespace {

TPNGButton* GlyphButton(QWidget* parent, skin::Glyph glyph, const QString& hint, int size = 20)
{
    auto* button = new TPNGButton(parent);
    button->SetPngImg(skin::ButtonStrip(size, size, 4, {}, glyph));
    button->SetHint(hint);
    return button;
}

const char* const kPageNames[kPageCount] = {"歌曲设置", "录制旋律", "基础伴奏", "歌曲结构", "完成", "帮助与反馈"};

} // namespace

TMainForm::TMainForm(AppSession& session, TSettingsStore& settings, QWidget* parent)
    : QWidget(parent), m_session(session), m_settings(settings)
{
    setObjectName(QStringLiteral("Melodrift"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Melodrift"));
    setAcceptDrops(true);
    resize(kWidth, kHeight);
    setMinimumSize(kWidth, kHeight);
    RegisterMessageTarget(this, this);

    BuildBand();
    BuildPages();
    BuildMenu();
    for (const FormSetup& setup : FormSetups())
        setup(*this, m_session);
    SetSaveItemsEnabled(false);
    RefillRecentMenu();
    SetCaption(QStringLiteral("Melodrift"));

    m_windowState = session.app.windowState;
    m_autoSaveTimer.setInterval(600000);
    connect(&m_autoSaveTimer, &QTimer::timeout, this, &TMainForm::AutoSaveTick);
    m_autoSaveTimer.start();
    LayoutBand();
}

TMainForm::~TMainForm() { UnregisterMessageTarget(this); }

void TMainForm::BuildBand()
{
    m_pImgBk = new QLabel(this);
    m_btnSysMenu = GlyphButton(this, skin::Glyph::Menu, QStringLiteral("系统菜单"), 24);
    m_btnSysMenu->move(8, 4);
    connect(m_btnSysMenu, &TPNGButton::clicked, this, [this] {
        const QPoint at = m_btnSysMenu->mapToGlobal(QPoint(0, m_btnSysMenu->height()));
        HandleMessage(UM_POPUP_SYSMENU, at.x(), at.y());
    });

    m_login = new TLoginArea(*this, m_session, m_serviceEvents);
    connect(m_login, &TLoginArea::loginClicked, this, [this] { MDP_PostMessage(WindowHandle(this), UM_LOGIN, 0, 0); });
    connect(m_login, &TLoginArea::logoffClicked, this, &TMainForm::Logoff);
    connect(m_login, &TLoginArea::noticesClicked, this, &TMainForm::ShowNotices);
    connect(m_login, &TLoginArea::userNameClicked, this, [this] { OpenWebPage(1); });

    m_labCaption = new QLabel(this);
    m_labCaption->setFont(skin::SkinFont(13, true));
    m_labCaption->setStyleSheet(QStringLiteral("color:#3C2B17"));
    m_labCaption->setAlignment(Qt::AlignCenter);
    m_labCaption->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_pImageStep = new QLabel(this);
    m_pImageStep->setPixmap(skin::StepTrack(460, 40));
    m_pImageStep->resize(460, 40);
    for (int i = 0; i < kStepCount; ++i) {
        auto* step = new TPNGButton(this);
        step->SetPngImg(skin::StepStrip(i + 1, 36));
        step->SetHint(QString::fromUtf8(kPageNames[i]));
        connect(step, &TPNGButton::clicked, this, [this, i] { StepClick(i); });
        m_btnSteps[i] = step;
    }

    m_btnHelpBox = GlyphButton(this, skin::Glyph::Help, QStringLiteral("帮助与反馈"));
    m_btnMinBox = GlyphButton(this, skin::Glyph::Minimise, QStringLiteral("最小化"));
    m_btnMaxBox = GlyphButton(this, skin::Glyph::Maximise, QStringLiteral("最大化"));
    m_btnRestBox = GlyphButton(this, skin::Glyph::Restore, QStringLiteral("还原"));
    m_btnCloseBox = GlyphButton(this, skin::Glyph::Close, QStringLiteral("退出"));
    m_btnRestBox->hide();
    connect(m_btnHelpBox, &TPNGButton::clicked, this, &TMainForm::HelpCommand);
    connect(m_btnMinBox, &TPNGButton::clicked, this, [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    connect(m_btnMaxBox, &TPNGButton::clicked, this, [this] { ApplyWindowState(2); });
    connect(m_btnRestBox, &TPNGButton::clicked, this, [this] { ApplyWindowState(0); });
    connect(m_btnCloseBox, &TPNGButton::clicked, this, &TMainForm::ExitCommand);
}

void TMainForm::BuildPages()
{
    m_pPgCtrl_Work = new QStackedWidget(this);
    for (int i = 0; i < kPageCount; ++i) {
        const PageFactory factory = PageFactoryFor(i);
        m_pages[i] = factory ? factory(*this, m_session, m_pPgCtrl_Work) : nullptr;
        if (!m_pages[i])
            m_pages[i] = new TPlaceholderPage(QString::fromUtf8(kPageNames[i]), m_session.song, m_pPgCtrl_Work);
        m_pPgCtrl_Work->addWidget(m_pages[i]);
    }
}

void TMainForm::BuildMenu()
{
    m_sysMenu = new QMenu(this);
    m_recentMenu = new QMenu(QStringLiteral("打开最近工程"), m_sysMenu);
    struct Item { const char* text; std::function<void()> run; };
    const Item items[kMenuItems] = {
        {"新建工程(F6)...", [this] { NewProjectCommand(); }},
        {"打开工程(F2)...", [this] { OpenProjectCommand(); }},
        {"打开最近工程", nullptr},
        {"保存工程(F3)", [this] { SaveProjectCommand(false); }},
        {"工程另存为(F4)...", [this] { SaveProjectCommand(true); }},
        {"-", nullptr},
        {"帮助与反馈(F1)", [this] { HelpCommand(); }},
        {"技术论坛", [this] { OpenForum(); }},
        {"更多软件...", [this] { HandleMessage(UM_MORE_SOFTWARE, 0, 0); }},
        {"关于...", [this] { HandleMessage(UM_ABOUT, 0, 0); }},
        {"-", nullptr},
        {"退出", [this] { ExitCommand(); }},
    };
    for (int i = 0; i < kMenuItems; ++i) {
        QAction* action = nullptr;
        if (i == kItemRecent)
            action = m_sysMenu->addMenu(m_recentMenu);
        else if (QString::fromUtf8(items[i].text) == QLatin1String("-"))
            action = m_sysMenu->addSeparator();
        else {
            action = m_sysMenu->addAction(QString::fromUtf8(items[i].text));
            connect(action, &QAction::triggered, this, items[i].run);
        }
        m_menuActions[i] = action;
    }
}

void TMainForm::RefillRecentMenu()
{
    m_recentMenu->clear();
    for (const std::string& path : m_session.app.recentProjects) {
        const QString file = QString::fromStdString(path);
        QAction* action = m_recentMenu->addAction(file);
        connect(action, &QAction::triggered, this, [this, file] { OpenProjectCommand(file); });
    }
    m_menuActions[kItemRecent]->setEnabled(!m_session.app.recentProjects.empty());
}

void TMainForm::SetSaveItemsEnabled(bool enabled)
{
    m_menuActions[kItemSave]->setEnabled(enabled);
    m_menuActions[kItemSaveAs]->setEnabled(enabled);
}

void TMainForm::SetCaption(const QString& caption)
{
    m_labCaption->setText(caption);
    setWindowTitle(caption);
}

void TMainForm::ApplyWindowState(int state)
{
    m_windowState = state;
    m_session.app.windowState = state;
    setWindowState(state == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
}

bool TMainForm::InTitleBand(const QPoint& at) const
{
    return at.x() >= 152 && at.x() < width() - 95 && at.y() >= 0 && at.y() < 24;
}

void TMainForm::LayoutBand()
{
    const int w = width();
    m_pImgBk->setGeometry(0, 0, w, kBandHeight);
    m_pImgBk->setPixmap(skin::BandPicture(w, kBandHeight));
    m_pImgBk->lower();
    const bool maximised = isMaximized();
    m_btnMaxBox->setVisible(!maximised);
    m_btnRestBox->setVisible(maximised);
    int x = w - 28;
    m_btnCloseBox->move(x, 4);
    x -= 22;
    m_btnMaxBox->move(x, 4);
    m_btnRestBox->move(x, 4);
    x -= 22;
    m_btnMinBox->move(x, 4);
    x -= 22;
    m_btnHelpBox->move(x, 4);

    m_labCaption->setGeometry((w - 400) / 2, 3, 400, 20);
    const int stripLeft = (w - m_pImageStep->width()) / 2;
    m_pImageStep->move(stripLeft, 38);
    const int d = m_btnSteps[0]->width();
    const int first = stripLeft + 30 - d / 2;
    const int last = stripLeft + m_pImageStep->width() - 30 - d / 2;
    for (int i = 0; i < kStepCount; ++i)
        m_btnSteps[i]->move(first + (last - first) * i / (kStepCount - 1), 40);
    m_pPgCtrl_Work->setGeometry(0, kBandHeight, w, height() - kBandHeight);

    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, w + 1, height() + 1), 3, 3);
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void TMainForm::resizeEvent(QResizeEvent*)
{
    LayoutBand();
}

void TMainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange)
        LayoutBand();
    QWidget::changeEvent(event);
}

void TMainForm::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && InTitleBand(event->position().toPoint()) && windowHandle())
        windowHandle()->startSystemMove();
}

void TMainForm::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !InTitleBand(event->position().toPoint()) || m_currentPage == 0)
        return;
    ApplyWindowState(isMaximized() ? 0 : 2);
}

void TMainForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_F1: HelpCommand(); return;
    case Qt::Key_F2: if (m_menuActions[kItemOpen]->isEnabled()) OpenProjectCommand(); return;
    case Qt::Key_F3: if (m_menuActions[kItemSave]->isEnabled()) SaveProjectCommand(false); return;
    case Qt::Key_F4: if (m_menuActions[kItemSaveAs]->isEnabled()) SaveProjectCommand(true); return;
    case Qt::Key_F6: if (m_menuActions[kItemNew]->isEnabled()) NewProjectCommand(); return;
    default: QWidget::keyPressEvent(event);
    }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    OpenDroppedFile(urls.first().toLocalFile());
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    // The close box and the window manager's close both run Exit.
    event->ignore();
    ExitCommand();
}

bool TMainForm::event(QEvent* e)
{
    if (DeliverMessageEvent(this, e))
        return true;
    return QWidget::event(e);
}

} // namespace melodrift
