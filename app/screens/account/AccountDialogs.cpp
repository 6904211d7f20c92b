#include "AccountDialogs.h"

#include <memory>

#include "AppSession.h"
#include "LoginFlow.h"
#include "ManualWindow.h"
#include "MessageDispatcher.h"
#include "TInfoForm.h"
#include "TMainForm.h"
#include "TUpdateForm.h"
#include "TUploadForm.h"

namespace melodrift {

namespace {

DialogHook& Hook()
{
    static DialogHook hook;
    return hook;
}

} // namespace

void SetDialogHook(DialogHook hook) { Hook() = std::move(hook); }

int ExecDialog(QDialog& dialog)
{
    if (Hook()) {
        dialog.setResult(QDialog::Rejected);
        Hook()(dialog);
        return dialog.result();
    }
    return dialog.exec();
}

void InstallAccountDialogs(TMainForm& form, AppSession& session)
{
    auto login = std::make_shared<TLoginFlow>(form, session, form.Settings());
    form.SetMessageHandler(UM_LOGIN, [login](intptr_t, intptr_t) -> intptr_t { return login->Run() ? 1 : 0; });

    form.askUploadDetails = [&form, &session](std::array<uint8_t, 1008>& block, QString& songName) {
        TUploadForm dialog(session.song, ComposerStyleTypes(), &form);
        dialog.block = block.data();
        if (ExecDialog(dialog) != QDialog::Accepted)
            return false;
        songName = dialog.Entries().songName.trimmed();
        return true;
    };
    form.showUpdateDialog = [&form, &session] {
        TUpdateForm dialog(session.client, QString::fromStdString(session.version),
                           session.song.Flag(kFlagForcedUpdate), &form);
        ExecDialog(dialog);
    };
    form.SetMessageHandler(UM_ABOUT, [&form, &session](intptr_t, intptr_t) -> intptr_t {
        TInfoForm dialog(QStringLiteral("关于 Melodrift"), AboutText(session), &form);
        ExecDialog(dialog);
        return 1;
    });
    form.SetMessageHandler(UM_MORE_SOFTWARE, [&form](intptr_t, intptr_t) -> intptr_t {
        TInfoForm dialog(QStringLiteral("更多软件"), MoreSoftwareText(), &form);
        ExecDialog(dialog);
        return 1;
    });
    form.SetMessageHandler(UM_MANUAL, [](intptr_t, intptr_t) -> intptr_t { return ShowManual() ? 1 : 0; });
}

} // namespace melodrift
