#pragma once

// What the login dialog decides without pixels: which user names and
// passwords it accepts, what a confirm does to the three edits, and the
// dialog's state between showings.

#include <QString>

namespace melodrift {

constexpr int kMaxUserNameBytes = 30;
constexpr int kMaxPasswordChars = 16;

// A user name of 3..16 code-page bytes of letters, digits, '_', '.', '-'
// and non-ASCII letters, or an e-mail address.
bool IsValidUserName(const QString& name);
// 3..16 printable ASCII characters for a login, 6..16 for a registration.
bool IsValidPassword(const QString& password, bool registering);

enum class LoginField { None, UserName, Password, Confirm };

struct LoginEntries {
    QString userName, password, confirm;
};

struct LoginVerdict {
    bool accepted = false;
    LoginField focus = LoginField::None;
    LoginEntries entries;   // trimmed, with refused entries emptied
};

// The confirm rule: trims, refuses the first empty or invalid entry (which
// is emptied, the password taking the confirmation with it) and names the
// edit that gets the focus.
LoginVerdict ConfirmLogin(const LoginEntries& typed, bool registering);

// The edit that takes the focus when the dialog shows, or when the user
// switches to registration.
LoginField FocusOnShow(const LoginEntries& shown);
LoginField FocusOnRegister(const LoginEntries& shown);

// The dialog's state between showings.
struct LoginDialogState {
    bool registering = false;
    bool autoLogin = false;
    QString lastUserName, lastPassword;

    // The edits when the dialog shows: empty in registration mode, else the
    // last accepted entries.
    LoginEntries Shown() const;
};

} // namespace melodrift
