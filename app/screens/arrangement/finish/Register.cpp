#include "RegisterScreens.h"

#include "AppSession.h"
#include "ExportFlow.h"
#include "ScreenRegistry.h"
#include "TComposeForm.h"
#include "TCompleteForm.h"
#include "TMainForm.h"
#include "TProgressForm.h"
#include "TProgressRunner.h"

namespace melodrift {

void RegisterFinishScreens()
{
    // Every long operation of the window runs in the progress dialog.
    SetProgressRunnerHook([](QWidget* parent, ProgressOperation op) {
        TProgressForm form(Session(), parent);
        const int result = form.Run(std::move(op));
        return ProgressOutcome{form.WorkerResult(), result != 1 && result != 2};
    });
    SetPageFactory(3, [](TMainForm& form, AppSession& session, QWidget* parent) -> TScreenPage* {
        return new TComposeForm(form, session, parent);
    });
    SetPageFactory(4, [](TMainForm& form, AppSession& session, QWidget* parent) -> TScreenPage* {
        return new TCompleteForm(form, session, parent);
    });
    AddFormSetup([](TMainForm& form, AppSession& session) {
        form.SetMessageHandler(UM_EXPORT_SONG, [&form, &session](intptr_t, intptr_t) -> intptr_t {
            RunExportFlow(&form, session);
            return 1;
        });
    });
}

} // namespace melodrift
