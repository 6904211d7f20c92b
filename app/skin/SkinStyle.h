#pragma once

// The look of the controls Qt draws for us (pop-up menus, hints), matched to
// the painted skin.

#include <QString>

namespace melodrift::skin {

QString SkinStyleSheet();

} // namespace melodrift::skin
