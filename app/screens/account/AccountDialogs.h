#pragma once

// Hands the account screens' dialogs to the main window: the login (UM_LOGIN),
// the upload description, the update dialog, About, more software and the
// manual.

#include <functional>

class QDialog;

namespace melodrift {

struct AppSession;
class TMainForm;

void InstallAccountDialogs(TMainForm& form, AppSession& session);

// Runs a dialog modally; a test's hook answers it instead (it finds the
// dialog ready to show and ends it with done/accept/reject).
int ExecDialog(QDialog& dialog);
using DialogHook = std::function<void(QDialog&)>;
void SetDialogHook(DialogHook hook);

} // namespace melodrift
