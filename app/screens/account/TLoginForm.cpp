#include "TLoginForm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "LimitedEdits.h"
#include "SettingsStore.h"
#include "SkinArt.h"
#include "SongModel.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

QLabel* FieldLabel(const QString& text, int y, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(skin::SkinFont(13));
    label->setStyleSheet(QStringLiteral("color:#3C2B17"));
    label->setGeometry(24, y, 70, 24);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* FieldEdit(int y, int maxLength, bool masked, const QString& placeholder, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(104, y, 210, 24);
    edit->setFont(skin::SkinFont(13));
    edit->setMaxLength(maxLength);
    edit->setPlaceholderText(placeholder);
    if (masked) {
        edit->setEchoMode(QLineEdit::Password);
        // The platform's mask character is a bullet; the dialog shows '*'.
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    }
    return edit;
}

} // namespace

TLoginForm::TLoginForm(LoginDialogState& state, TSettingsStore& settings, TSongModel& song, QWidget* parent)
    : TAccountDialog(QStringLiteral("用户登录"), QSize(kWidth, kHeight), 10, parent),
      m_state(state), m_settings(settings), m_song(song)
{
    SetDragStrip(22, -1, kWidth - 345);
    m_btnClose->SetHint(QStringLiteral("退出登录"));
    m_imgBackground = new QLabel(this);   // painted by the dialog; kept for its name
    m_imgBackground->setGeometry(0, 0, kWidth, kHeight);
    m_imgBackground->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_imgBackground->lower();

    FieldLabel(QStringLiteral("用户名"), 32, this);
    m_editUsername = FieldEdit(32, kMaxUserNameBytes, false, QStringLiteral("请输入用户名"), this);
    m_editUsername->setToolTip(QStringLiteral("请输入Email地址或用户名(3-30个字母数字/2-16个汉字)"));
    FieldLabel(QStringLiteral("密码"), 62, this);
    m_editPassword = FieldEdit(62, kMaxPasswordChars, true, QStringLiteral("请输入密码"), this);
    m_editPassword->setToolTip(QStringLiteral("请输入6-16个英文字母/数字/可显示符号"));
    m_lblConfirm = FieldLabel(QStringLiteral("确认密码"), 92, this);
    m_editConfirm = FieldEdit(92, kMaxPasswordChars, true, QStringLiteral("请再次输入密码"), this);

    m_pbAutoCheck = new QWidget(this);
    m_pbAutoCheck->setGeometry(104, 140, 16, 16);
    m_pbAutoCheck->setCursor(Qt::PointingHandCursor);
    m_pbAutoCheck->installEventFilter(this);
    auto* autoLabel = new QLabel(QStringLiteral("自动登录"), this);
    autoLabel->setFont(skin::SkinFont(12));
    autoLabel->setStyleSheet(QStringLiteral("color:#3C2B17"));
    autoLabel->setGeometry(124, 136, 70, 24);

    m_btnRegister = new TPNGButton(this);
    m_btnRegister->SetPngImg(skin::ButtonStrip(64, 26, 4, QStringLiteral("注册")));
    m_btnRegister->SetHint(QStringLiteral("注册新用户"));
    m_btnRegister->move(212, 135);
    connect(m_btnRegister, &TPNGButton::clicked, this, &TLoginForm::SwitchToRegistration);
    m_btnGo = new TPNGButton(this);
    m_btnGo->SetPngImg(skin::ButtonStrip(64, 26, 4, QStringLiteral("确定")));
    m_btnGo->SetHint(QStringLiteral("确认登录"));
    m_btnGo->move(286, 135);
    connect(m_btnGo, &TPNGButton::clicked, this, &TLoginForm::Confirm);

    LimitLineEdit(m_editUsername, kMaxUserNameBytes);

    const LoginEntries shown = m_state.Shown();
    m_editUsername->setText(shown.userName);
    m_editPassword->setText(shown.password);
    ShowMode();
    Focus(FocusOnShow(shown));
}

void TLoginForm::ShowMode()
{
    setWindowTitle(m_state.registering ? QStringLiteral("用户注册") : QStringLiteral("用户登录"));
    m_btnRegister->setVisible(!m_state.registering);
    m_lblConfirm->setVisible(m_state.registering);
    m_editConfirm->setVisible(m_state.registering);
    update();
}

QLineEdit* TLoginForm::Edit(LoginField field) const
{
    switch (field) {
    case LoginField::UserName: return m_editUsername;
    case LoginField::Password: return m_editPassword;
    case LoginField::Confirm: return m_editConfirm;
    case LoginField::None: break;
    }
    return nullptr;
}

void TLoginForm::Focus(LoginField field)
{
    if (QLineEdit* edit = Edit(field))
        edit->setFocus();
}

LoginField TLoginForm::FocusedField() const
{
    for (LoginField f : {LoginField::UserName, LoginField::Password, LoginField::Confirm})
        if (Edit(f)->hasFocus())
            return f;
    return LoginField::None;
}

void TLoginForm::Confirm()
{
    const LoginVerdict v = ConfirmLogin({m_editUsername->text(), m_editPassword->text(), m_editConfirm->text()},
                                        m_state.registering);
    m_editUsername->setText(v.entries.userName);
    m_editPassword->setText(v.entries.password);
    m_editConfirm->setText(v.entries.confirm);
    if (!v.accepted) {
        Focus(v.focus);
        return;
    }
    m_state.lastUserName = v.entries.userName;
    m_state.lastPassword = v.entries.password;
    m_settings.StoreLogin(v.entries.userName.toStdString(), m_state.autoLogin, v.entries.password.toStdString());
    accept();
}

void TLoginForm::SwitchToRegistration()
{
    const LoginEntries shown{m_editUsername->text(), m_editPassword->text(), {}};
    m_state.registering = true;
    m_editConfirm->clear();
    ShowMode();
    Focus(FocusOnRegister(shown));
}

void TLoginForm::ToggleAutoLogin()
{
    m_state.autoLogin = !m_state.autoLogin;
    m_song.SetFlag(kFlagRememberLogin, m_state.autoLogin);
    m_pbAutoCheck->update();
}

void TLoginForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Confirm(); return;
    case Qt::Key_Escape: reject(); return;
    default: TAccountDialog::keyPressEvent(event);
    }
}

bool TLoginForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pbAutoCheck) {
        if (event->type() == QEvent::MouseButtonPress) {
            ToggleAutoLogin();
            return true;
        }
        if (event->type() == QEvent::Paint) {
            QPainter p(m_pbAutoCheck);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QColor(0x8A, 0x5A, 0x2B));
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
            if (m_state.autoLogin) {
                p.setPen(QPen(skin::kInk, 2));
                p.drawPolyline(QPolygonF({QPointF(3.5, 8), QPointF(6.5, 11.5), QPointF(12.5, 4.5)}));
            }
            return true;
        }
    }
    return TAccountDialog::eventFilter(watched, event);
}

void TLoginForm::paintEvent(QPaintEvent* event)
{
    TAccountDialog::paintEvent(event);
    if (!m_state.registering)
        return;
    // The registration background: a hint under the title.
    QPainter p(this);
    p.setFont(skin::SkinFont(11));
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawText(QRect(104, 118, 210, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("密码为6-16个字母、数字或符号"));
}

} // namespace melodrift
