#include "RegisterScreens.h"

namespace melodrift {

void RegisterScreens()
{
    RegisterRecordingScreens();
    RegisterBaseScreens();
    RegisterFinishScreens();
    RegisterAccountScreens();
}

} // namespace melodrift
