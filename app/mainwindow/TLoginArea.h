#pragma once

// The login area of the main window's band: the login button, the
// "登录中" label with its cancel button, the user panel (picture, name,
// log-off button) and the notice badge. It shows the login state and the
// unread counts it is given; what a click means is the window's business.

#include <QObject>
#include <QTimer>

class QLabel;
class QWidget;

namespace melodrift {

struct AppSession;
class TMainForm;
class TPNGButton;
class TServiceEvents;

class TLoginArea : public QObject {
    Q_OBJECT
public:
    // Builds the controls on the form's band.
    TLoginArea(TMainForm& form, AppSession& session, const TServiceEvents& counts);

    void ShowLoggingIn();
    void ShowUserPanel();
    // Back to the login button (unless a forced update hides it).
    void ShowLoggedOff(bool loginAllowed);
    // Shows the badge when anything is unread and refreshes its hint.
    void UpdateNoticeBadge();
    void SetNoticeHint(const QString& hint);
    void StopTimers() { m_hoverTimer.stop(); }
    // The user-name hint comes again on the next hover (after a login).
    void ResetHover() { m_hoverStarted = false; }

    // Controls, named as the form has always named them.
    TPNGButton* m_btnLogin;
    QLabel* m_lblLoging;
    TPNGButton* m_btnCancelLog;
    QWidget* m_panelUserInfo;
    QLabel* m_imgUserIcon;
    QLabel* m_lblUsername;
    TPNGButton* m_btnLogoff;
    QWidget* m_panelNoticeNum;
    QWidget* m_pbUserNoticeNum;

signals:
    void loginClicked();
    void logoffClicked();
    void noticesClicked();
    void userNameClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintNoticeBadge();
    bool LoggedIn() const;

    TMainForm& m_form;
    AppSession& m_session;
    const TServiceEvents& m_counts;
    QTimer m_hoverTimer;
    bool m_hoverStarted = false;
    bool m_badgeHover = false;
};

} // namespace melodrift
