#pragma once

// UM_LOGIN: the login dialog, then the login or the registration in the
// progress dialog, with the service's answer turned into the window's state
// and messages. A refused or cancelled attempt leaves the user logged off
// and the song as it was.

#include "LoginLogic.h"
#include "OnlineOperation.h"

class QWidget;

namespace melodrift {

struct AppSession;
class TMainForm;
class TSettingsStore;

class TLoginFlow {
public:
    TLoginFlow(TMainForm& form, AppSession& session, TSettingsStore& settings);

    // True when a user is logged in afterwards.
    bool Run();

    LoginDialogState& DialogState() { return m_state; }

private:
    enum class Attempted { LoggedIn, AskAgain, Ended };
    Attempted Attempt();

    TMainForm& m_form;
    AppSession& m_session;
    TSettingsStore& m_settings;
    LoginDialogState m_state;
};

} // namespace melodrift
