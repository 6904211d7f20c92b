#include "RegisterScreens.h"

namespace melodrift {

// No screen of this folder is built yet: its pages stay placeholders.
void RegisterBaseScreens()
{
}

} // namespace melodrift
