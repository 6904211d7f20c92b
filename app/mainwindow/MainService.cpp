// The account side of the main window: the login state, the service's
// events and errors; the band's display is the login area's, the upload
// the upload flow's.
#include <QDesktopServices>
#include <QUrl>
#include <cstring>

#include "AppSession.h"
#include "EngineTables.h"
#include "MainLogic.h"
#include "SettingsStore.h"
#include "TLoginArea.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TScreenPage.h"
#include "TUploadFlow.h"

namespace melodrift {

void TMainForm::ShowServiceError(const QString& failure, int code)
{
    ShowMessageBox(ServiceErrorText(failure, code), kMessageError);
}

void TMainForm::ShowLoggingIn() { m_login->ShowLoggingIn(); }

void TMainForm::Logoff()
{
    if (Engines().cs.CS_Logoff)
        Engines().cs.CS_Logoff();
    m_session.loggingIn = false;
    m_login->ShowLoggedOff(!m_session.song.Flag(kFlagForcedUpdate));
    char name[sizeof m_session.user.userName];
    std::memcpy(name, m_session.user.userName, sizeof name);
    std::memset(&m_session.user, 0, sizeof m_session.user);
    std::memcpy(m_session.user.userName, name, sizeof name);
    m_session.song.SetFlag(kFlagLoggedIn, false);
    m_serviceEvents.SetPersonal(0);
    m_login->UpdateNoticeBadge();
    m_login->SetNoticeHint(NoticeHintLoggedOff(m_serviceEvents.Notices()));
}

void TMainForm::LoginFinished(const ServiceEventAction& login)
{
    if (login.kind == ServiceEventAction::kLoggedIn) {
        m_session.loggingIn = false;
        m_login->ShowUserPanel();
        m_session.song.SetFlag(kFlagLoggedIn, true);
        m_login->ResetHover();
        if (m_session.serviceRunning && Engines().cs.CS_GetNewNoticeNum) {
            Engines().cs.CS_GetNewNoticeNum(0);
            Engines().cs.CS_GetNewNoticeNum(m_session.user.userId);
        }
        m_login->UpdateNoticeBadge();
        return;
    }
    // A login the user started waits for its answer and reports it itself;
    // the service may report it here as well, which must not count twice.
    if (!m_session.loggingIn)
        return;
    m_session.loggingIn = false;
    Logoff();
    ShowServiceError(QStringLiteral("登录失败!"), login.code);
    m_settings.ForgetLogin();
    if (login.askLoginAgain)
        MDP_PostMessage(WindowHandle(this), UM_LOGIN, 0, 0);
}

void TMainForm::ServiceEvent(intptr_t wParam, intptr_t lParam)
{
    const ServiceEventAction action = m_serviceEvents.Decode(wParam, lParam);
    switch (action.kind) {
    case ServiceEventAction::kLoggedIn:
    case ServiceEventAction::kLoginFailed: LoginFinished(action); break;
    case ServiceEventAction::kNoticeCountChanged:
        m_login->UpdateNoticeBadge();
        m_pages[kHelpPage]->NoticeCountChanged(action.personal ? m_serviceEvents.Personal() : m_serviceEvents.Notices(),
                                               action.personal ? 1 : 0);
        break;
    case ServiceEventAction::kNewVersion:
        if (action.forced) {
            Logoff();
            m_session.song.SetFlag(kFlagForcedUpdate, true);
            m_login->m_btnLogin->hide();
        }
        if (showUpdateDialog)
            showUpdateDialog();
        else
            ShowMessageBox(NewVersionMessage(m_session.song.Flag(kFlagForcedUpdate)), kMessageInformation);
        break;
    case ServiceEventAction::kIgnored: break;
    }
}

void TMainForm::UploadSong() { TUploadFlow(*this, m_session).Run(); }

void TMainForm::OpenWebPage(int page)
{
    char url[CS_WEB_URL_CAPACITY] = "";
    if (Engines().cs.CS_GetWebPageURL && Engines().cs.CS_GetWebPageURL(page, url) == 0 && url[0] != '\0')
        QDesktopServices::openUrl(QUrl(QString::fromUtf8(url)));
}

void TMainForm::OpenForum()
{
    if (!m_session.webAddress.empty())
        QDesktopServices::openUrl(QUrl(QString::fromStdString(m_session.webAddress)));
}

} // namespace melodrift
