#include "RegisterScreens.h"

#include "ScreenRegistry.h"
#include "TDeviceDialogs.h"
#include "TRecordForm.h"
#include "TSetupForm.h"

namespace melodrift {

void RegisterRecordingScreens()
{
    SetPageFactory(0, [](TMainForm& form, AppSession& session, QWidget* parent) -> TScreenPage* {
        return new TSetupForm(form, session, parent);
    });
    SetPageFactory(1, [](TMainForm& form, AppSession& session, QWidget* parent) -> TScreenPage* {
        return new TRecordForm(form, session, parent);
    });
    AddFormSetup([](TMainForm& form, AppSession& session) { InstallDeviceDialogs(form, session); });
}

} // namespace melodrift
