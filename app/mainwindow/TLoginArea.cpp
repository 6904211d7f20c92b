#include "TLoginArea.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <cstring>

#include "AppSession.h"
#include "MainLogic.h"
#include "ServiceEvents.h"
#include "SkinArt.h"
#include "TMainForm.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

// Where the badge sits: beside the login button, beside "登录中", in the user panel.
constexpr QPoint kBadgeLoggedOff(124, 2);
constexpr QPoint kBadgeLoggingIn(138, 2);
constexpr QPoint kBadgeInUserPanel(94, 0);

TPNGButton* GlyphButton(QWidget* parent, skin::Glyph glyph, const QString& hint, int size)
{
    auto* button = new TPNGButton(parent);
    button->SetPngImg(skin::ButtonStrip(size, size, 4, {}, glyph));
    button->SetHint(hint);
    return button;
}

QString FieldText(const char* field, size_t capacity)
{
    return QString::fromUtf8(field, static_cast<int>(strnlen(field, capacity)));
}

} // namespace

TLoginArea::TLoginArea(TMainForm& form, AppSession& session, const TServiceEvents& counts)
    : QObject(&form), m_form(form), m_session(session), m_counts(counts)
{
    m_btnLogin = new TPNGButton(&form);
    m_btnLogin->SetPngImg(skin::ButtonStrip(64, 22, 4, QStringLiteral("登录")));
    m_btnLogin->SetHint(QStringLiteral("用户登录"));
    m_btnLogin->move(40, 5);
    connect(m_btnLogin, &TPNGButton::clicked, this, &TLoginArea::loginClicked);
    m_lblLoging = new QLabel(QStringLiteral("登录中"), &form);
    m_lblLoging->setFont(skin::SkinFont(13));
    m_lblLoging->setStyleSheet(QStringLiteral("color:#E6CCB4"));
    m_lblLoging->setGeometry(42, 6, 60, 20);
    m_lblLoging->hide();
    m_btnCancelLog = GlyphButton(&form, skin::Glyph::Cancel, QStringLiteral("取消登录"), 18);
    m_btnCancelLog->move(104, 6);
    m_btnCancelLog->hide();
    connect(m_btnCancelLog, &TPNGButton::clicked, this, &TLoginArea::logoffClicked);

    m_panelUserInfo = new QWidget(&form);
    m_panelUserInfo->setGeometry(38, 2, 150, 26);
    m_panelUserInfo->hide();
    m_imgUserIcon = new QLabel(m_panelUserInfo);
    m_imgUserIcon->setGeometry(0, 1, 24, 24);
    m_imgUserIcon->setScaledContents(true);
    m_lblUsername = new QLabel(m_panelUserInfo);
    m_lblUsername->setGeometry(28, 3, 62, 20);
    m_lblUsername->setFont(skin::SkinFont(13));
    m_lblUsername->setStyleSheet(QStringLiteral("color:#3C2B17"));
    m_lblUsername->setCursor(Qt::PointingHandCursor);
    m_lblUsername->installEventFilter(this);
    m_btnLogoff = GlyphButton(m_panelUserInfo, skin::Glyph::Close, QStringLiteral("退出登录"), 16);
    m_btnLogoff->move(130, 5);
    connect(m_btnLogoff, &TPNGButton::clicked, this, &TLoginArea::logoffClicked);

    m_panelNoticeNum = new QWidget(&form);
    m_panelNoticeNum->setGeometry(QRect(kBadgeLoggedOff, QSize(22, 22)));
    m_pbUserNoticeNum = new QWidget(m_panelNoticeNum);
    m_pbUserNoticeNum->setGeometry(0, 0, 22, 22);
    m_pbUserNoticeNum->setCursor(Qt::PointingHandCursor);
    m_pbUserNoticeNum->installEventFilter(this);
    m_panelNoticeNum->hide();

    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(30);
    connect(&m_hoverTimer, &QTimer::timeout, this, [this] {
        const auto& u = m_session.user;
        m_lblUsername->setToolTip(UserInfoHint(u.balance, u.popularity, u.fans, u.songs));
    });
}

bool TLoginArea::LoggedIn() const { return m_session.song.Flag(kFlagLoggedIn); }

void TLoginArea::ShowLoggingIn()
{
    m_btnLogin->hide();
    m_lblLoging->show();
    m_btnCancelLog->show();
    m_panelNoticeNum->setParent(&m_form);
    m_panelNoticeNum->move(kBadgeLoggingIn);
}

void TLoginArea::ShowUserPanel()
{
    const auto& user = m_session.user;
    m_btnLogin->hide();
    m_lblLoging->hide();
    m_btnCancelLog->hide();
    QPixmap picture(QString::fromStdString(ApplicationDirectory()) + QStringLiteral("header/default.png"));
    if (picture.isNull())
        picture = skin::ButtonStrip(24, 24, 1, {}, skin::Glyph::User);
    m_imgUserIcon->setPixmap(picture);
    const QString nickname = FieldText(user.nickname, sizeof user.nickname);
    m_lblUsername->setText(nickname.isEmpty() ? FieldText(user.userName, sizeof user.userName) : nickname);
    m_panelUserInfo->show();
    m_panelNoticeNum->setParent(m_panelUserInfo);
    m_panelNoticeNum->move(kBadgeInUserPanel);
}

void TLoginArea::ShowLoggedOff(bool loginAllowed)
{
    m_lblLoging->hide();
    m_btnCancelLog->hide();
    m_panelUserInfo->hide();
    if (loginAllowed)
        m_btnLogin->show();
    m_panelNoticeNum->setParent(&m_form);
    m_panelNoticeNum->move(kBadgeLoggedOff);
}

void TLoginArea::UpdateNoticeBadge()
{
    m_panelNoticeNum->setVisible(m_counts.Unread(LoggedIn()) > 0);
    if (LoggedIn())
        m_pbUserNoticeNum->setToolTip(NoticeHintLoggedIn(m_counts.Notices(), m_counts.Personal()));
    m_pbUserNoticeNum->update();
}

void TLoginArea::SetNoticeHint(const QString& hint) { m_pbUserNoticeNum->setToolTip(hint); }

void TLoginArea::PaintNoticeBadge()
{
    QPainter p(m_pbUserNoticeNum);
    const int size = m_pbUserNoticeNum->height();
    const QPixmap badge = skin::NoticeBadge(size);
    p.drawPixmap(0, 0, badge, m_badgeHover ? size : 0, 0, size, size);
    const QString text = QString::number(m_counts.Unread(LoggedIn()));
    p.setFont(skin::SkinFont(11, true));
    p.setPen(Qt::white);
    const QFontMetrics metrics(p.font());
    const int x = (size - metrics.horizontalAdvance(text) + 1) / 2;
    const int y = (size - metrics.height()) / 2 + metrics.ascent();
    p.drawText(x, y, text);
}

bool TLoginArea::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_pbUserNoticeNum) {
        switch (e->type()) {
        case QEvent::Paint: PaintNoticeBadge(); return true;
        case QEvent::Enter: m_badgeHover = true; m_pbUserNoticeNum->update(); break;
        case QEvent::Leave: m_badgeHover = false; m_pbUserNoticeNum->update(); break;
        case QEvent::MouseButtonPress: emit noticesClicked(); return true;
        default: break;
        }
    }
    if (watched == m_lblUsername) {
        if (e->type() == QEvent::Enter) {
            m_lblUsername->setStyleSheet(QStringLiteral("color:#0000FF; text-decoration:underline"));
            if (!m_hoverStarted) {
                m_hoverStarted = true;
                m_hoverTimer.start();
            }
        } else if (e->type() == QEvent::Leave) {
            m_lblUsername->setStyleSheet(QStringLiteral("color:#3C2B17"));
        } else if (e->type() == QEvent::MouseButtonPress) {
            emit userNameClicked();
            return true;
        }
    }
    return QObject::eventFilter(watched, e);
}

} // namespace melodrift
