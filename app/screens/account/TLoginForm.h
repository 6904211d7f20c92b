#pragma once

// The login dialog: user name and password to log in, or the password twice
// to register. It only checks and keeps the entries; the caller logs in or
// registers with them.

#include "LoginLogic.h"
#include "TAccountDialog.h"

class QLabel;
class QLineEdit;

namespace melodrift {

class TSettingsStore;
class TSongModel;

class TLoginForm : public TAccountDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 368;
    static constexpr int kHeight = 173;

    // state lives with the caller so that entries and mode outlast the dialog.
    TLoginForm(LoginDialogState& state, TSettingsStore& settings, TSongModel& song, QWidget* parent = nullptr);

    // The confirm button or Enter: accepts (closing with OK) or refuses with
    // the focus on the entry to mend.
    void Confirm();
    void SwitchToRegistration();
    void ToggleAutoLogin();

    LoginField FocusedField() const;
    const LoginDialogState& DialogState() const { return m_state; }

    QLabel* m_imgBackground;
    QLineEdit* m_editUsername;
    QLineEdit* m_editPassword;
    QLineEdit* m_editConfirm;
    QWidget* m_pbAutoCheck;
    class TPNGButton* m_btnGo;
    TPNGButton* m_btnRegister;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowMode();
    void Focus(LoginField field);
    QLineEdit* Edit(LoginField field) const;

    LoginDialogState& m_state;
    TSettingsStore& m_settings;
    TSongModel& m_song;
    QLabel* m_lblConfirm;
};

} // namespace melodrift
