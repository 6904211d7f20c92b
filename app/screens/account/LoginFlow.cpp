#include "LoginFlow.h"

#include <cstring>

#include "AccountDialogs.h"
#include "AppSession.h"
#include "MessageDispatcher.h"
#include "ServiceEvents.h"
#include "SettingsStore.h"
#include "TLoginForm.h"
#include "TMainForm.h"

namespace melodrift {

namespace {

void CopyText(const QString& text, char* field, size_t capacity)
{
    const QByteArray bytes = text.toUtf8();
    const size_t n = std::min(static_cast<size_t>(bytes.size()), capacity - 1);
    std::memcpy(field, bytes.constData(), n);
    field[n] = '\0';
}

} // namespace

TLoginFlow::TLoginFlow(TMainForm& form, AppSession& session, TSettingsStore& settings)
    : m_form(form), m_session(session), m_settings(settings)
{
    // The remembered login fills the dialog the first time it shows.
    std::string name, password;
    const bool remembered = m_settings.LoadLogin(name, password);
    m_state.lastUserName = QString::fromStdString(name);
    if (remembered)
        m_state.lastPassword = QString::fromStdString(password);
    m_state.autoLogin = m_session.song.Flag(kFlagRememberLogin);
}

bool TLoginFlow::Run()
{
    if (m_session.song.Flag(kFlagLoggedIn))
        return true;
    // The service refuses this version: say why instead of a login that cannot work.
    if (m_session.song.Flag(kFlagForcedUpdate)) {
        if (m_form.showUpdateDialog)
            m_form.showUpdateDialog();
        return false;
    }
    // Each request starts at the login; only a retry stays in registration.
    m_state.registering = false;
    for (;;) {
        TLoginForm dialog(m_state, m_settings, m_session.song, &m_form);
        if (ExecDialog(dialog) != QDialog::Accepted)
            return false;
        switch (Attempt()) {
        case Attempted::LoggedIn: return true;
        case Attempted::AskAgain: continue;
        case Attempted::Ended: return false;
        }
    }
}

TLoginFlow::Attempted TLoginFlow::Attempt()
{
    const bool registering = m_state.registering;
    // The service keeps a pointer to this record while the user is logged in.
    CS_UserRecord& user = m_session.user;
    std::memset(&user, 0, sizeof user);
    CopyText(m_state.lastUserName, user.userName, sizeof user.userName);
    CopyText(m_state.lastPassword, user.password, sizeof user.password);

    ProgressOperation op;
    op.code = registering ? kOpRegister : kOpLogin;
    op.user = &user;
    op.mainWindow = WindowHandle(&m_form);
    if (!registering)
        m_form.ShowLoggingIn();
    const OnlineOutcome outcome = RunOnlineOperation(&m_form, m_session, std::move(op));
    if (outcome.cancelled) {
        m_form.Logoff();
        return Attempted::Ended;
    }
    if (outcome.code == CS_OK) {
        // The service reports the login to the window too, but later: a
        // caller waiting for the login (the upload) must see it now.
        m_form.HandleMessage(UM_SERVICE_EVENT, intptr_t(kReplyLogin) << 16, reinterpret_cast<intptr_t>(&user));
        m_state.registering = false;
        return Attempted::LoggedIn;
    }
    // A refused login must not stay pending in the service and log in later.
    m_form.Logoff();
    m_form.ShowServiceError(registering ? QStringLiteral("注册失败!") : QStringLiteral("登录失败!"), outcome.code);
    // The name stays remembered, the password that failed does not.
    m_settings.StoreLogin(m_state.lastUserName.toStdString(), false, {});
    m_state.lastPassword.clear();
    const bool mistyped = outcome.code == CS_ERR_BAD_PASSWORD || outcome.code == CS_ERR_UNKNOWN_USER ||
                          (registering && outcome.code == CS_ERR_NAME_TAKEN);
    return mistyped ? Attempted::AskAgain : Attempted::Ended;
}

} // namespace melodrift
