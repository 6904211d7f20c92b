#include "AccountDialogs.h"
#include "MainLogic.h"
#include "RegisterScreens.h"
#include "ScreenRegistry.h"
#include "THelpForm.h"

namespace melodrift {

void RegisterAccountScreens()
{
    SetPageFactory(kHelpPage, [](TMainForm& form, AppSession& session, QWidget* parent) -> TScreenPage* {
        return new THelpForm(form, session, parent);
    });
    AddFormSetup(&InstallAccountDialogs);
}

} // namespace melodrift
