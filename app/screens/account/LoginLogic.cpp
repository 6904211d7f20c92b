#include "LoginLogic.h"

#include <QRegularExpression>

#include "AccountText.h"

namespace melodrift {

namespace {

bool IsNameCharacter(QChar c)
{
    if (c.unicode() < 0x80)
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('-');
    // The code page's double-byte range held the letters of Chinese names;
    // in UTF-8 any non-ASCII letter takes their place.
    return c.isLetterOrNumber() || c.isSurrogate();
}

} // namespace

bool IsValidUserName(const QString& name)
{
    static const QRegularExpression mail(
        QStringLiteral("^[_a-zA-Z0-9\\.-]+@([_a-zA-Z0-9]+\\.)+[a-zA-Z0-9]{2,3}$"));
    if (mail.match(name).hasMatch())
        return true;
    const int bytes = CodePageLength(name);
    if (bytes < 3 || bytes > 16 || HasUnwritableCharacter(name))
        return false;
    for (QChar c : name)
        if (!IsNameCharacter(c))
            return false;
    return true;
}

bool IsValidPassword(const QString& password, bool registering)
{
    const int least = registering ? 6 : 3;
    if (password.size() < least || password.size() > kMaxPasswordChars)
        return false;
    for (QChar c : password)
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return false;
    return true;
}

LoginVerdict ConfirmLogin(const LoginEntries& typed, bool registering)
{
    LoginVerdict v;
    LoginEntries& e = v.entries;
    e.userName = typed.userName.trimmed();
    e.password = typed.password.trimmed();
    e.confirm = typed.confirm.trimmed();
    if (e.userName.isEmpty()) {
        v.focus = LoginField::UserName;
        return v;
    }
    if (e.password.isEmpty()) {
        v.focus = LoginField::Password;
        return v;
    }
    if (registering && e.confirm.isEmpty()) {
        v.focus = LoginField::Confirm;
        return v;
    }
    if (!IsValidUserName(e.userName)) {
        e.userName.clear();
        v.focus = LoginField::UserName;
        return v;
    }
    if (!IsValidPassword(e.password, registering)) {
        e.password.clear();
        e.confirm.clear();
        v.focus = LoginField::Password;
        return v;
    }
    if (registering && e.confirm != e.password) {
        e.confirm.clear();
        v.focus = LoginField::Confirm;
        return v;
    }
    v.accepted = true;
    return v;
}

LoginField FocusOnShow(const LoginEntries& shown)
{
    return shown.userName.isEmpty() ? LoginField::UserName : LoginField::Password;
}

LoginField FocusOnRegister(const LoginEntries& shown)
{
    if (shown.userName.isEmpty())
        return LoginField::None;   // the focus stays where it is
    return shown.password.isEmpty() ? LoginField::Password : LoginField::Confirm;
}

LoginEntries LoginDialogState::Shown() const
{
    if (registering)
        return {};
    return {lastUserName, lastPassword, {}};
}

} // namespace melodrift
