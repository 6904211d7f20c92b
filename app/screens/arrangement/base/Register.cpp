#include "RegisterScreens.h"

#include "ScreenRegistry.h"
#include "TBaseForm.h"

namespace melodrift {

void RegisterBaseScreens()
{
    SetPageFactory(2, [](TMainForm& form, AppSession& session, QWidget* parent) -> TScreenPage* {
        return new TBaseForm(&form, session, parent);
    });
}

} // namespace melodrift
