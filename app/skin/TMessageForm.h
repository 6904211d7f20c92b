#pragma once

// The one modal message box of the program. Flags and results keep the
// platform message box's values (scripted replies and logs carry them as
// numbers): an icon, a button set and the "do not show again" check box
// combine by |; results are 1 OK, 2 Cancel, 6 Yes, 7 No, -1 when a message
// is already up.

#include <QDialog>
#include <functional>
#include <vector>

class QLabel;

namespace melodrift {

class TPNGButton;

enum MessageFlags : int {
    kMessageOk = 0x00,
    kMessageOkCancel = 0x01,
    kMessageYesNoCancel = 0x03,
    kMessageYesNo = 0x04,
    kMessageIconError = 0x10,
    kMessageIconQuestion = 0x20,
    kMessageIconInformation = 0x40,
    kMessageCheckOn = 0x100, // check box shown, ticked
    kMessageCheckOff = 0x200, // check box shown, clear

    // The combinations the program uses.
    kMessageError = kMessageIconError | kMessageOk, // 16
    kMessageQuestionOkCancel = kMessageIconQuestion | kMessageOkCancel, // 33
    kMessageQuestion = kMessageIconQuestion | kMessageYesNoCancel, // 35
    kMessageQuestionYesNo = kMessageIconQuestion | kMessageYesNo, // 36
    kMessageInformation = kMessageIconInformation | kMessageOk, // 64
};
constexpr int kMessageIconMask = 0xF0;
constexpr int kMessageButtonMask = 0x0F;
constexpr int kMessageCheckMask = 0x0F00;

enum MessageResult : int { kResultRefused = -1, kResultOk = 1, kResultCancel = 2, kResultYes = 6, kResultNo = 7 };

// Left edges of count (1..3) buttons of width w in a dialog of width dialogWidth.
std::vector<int> MessageButtonLefts(int dialogWidth, int w, int count);

class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* parent = nullptr);

    int ShowMessageBox(const QString& text, int flags);
    bool CheckState() const { return m_checked; }
    // Captions of Yes and No for the next messages; empty restores the defaults.
    void SetYesNoCaptions(const QString& yes, const QString& no);
    void CentreOn(QWidget* owner);

    // A scripted answer replaces the dialog (unattended runs and tests): it
    // receives the text and flags and returns the result. Also installed by
    // the environment variable MELODRIFT_MESSAGE_REPLY=<result>, which writes
    // each text to standard error.
    using Script = std::function<int(const QString&, int)>;
    static void SetScript(Script script);

    // Controls, named as the form has always named them.
    QLabel* m_imgBk;
    QLabel* m_lblMessage;
    QLabel* m_iconError;
    QLabel* m_iconQuestion;
    QLabel* m_iconInformation;
    TPNGButton* m_btnYes;
    TPNGButton* m_btnOk;
    TPNGButton* m_btnNo;
    TPNGButton* m_btnCancel;
    QWidget* m_pbCheck;
    QLabel* m_lblCheckMessage;

    void ToggleCheck();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Arrange(int flags);
    void PaintCheck();

    bool m_checked = false;
    QString m_yesCaption, m_noCaption;
};

// The program's message box (created at start-up).
TMessageForm* MessageForm();
void SetMessageForm(TMessageForm* form);
// Shows through the program's message box; without one, through the script.
int ShowMessageBox(const QString& text, int flags);

} // namespace melodrift
