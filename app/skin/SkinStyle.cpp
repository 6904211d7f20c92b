#include "SkinStyle.h"

namespace melodrift::skin {

QString SkinStyleSheet()
{
    return QStringLiteral(
        "QMenu { background: #FBF3E8; border: 1px solid #8A5A2B; border-radius: 4px; padding: 4px 0;"
        "        font-family: 'WenQuanYi Micro Hei'; font-size: 13px; color: #3C2B17; }"
        "QMenu::item { padding: 5px 28px 5px 22px; }"
        "QMenu::item:selected { background: #ECC898; }"
        "QMenu::item:disabled { color: #A8A29A; }"
        "QMenu::separator { height: 1px; background: #D9BC97; margin: 4px 10px; }"
        "QToolTip { background: #FFF8EC; color: #3C2B17; border: 1px solid #8A5A2B; padding: 3px;"
        "           font-family: 'WenQuanYi Micro Hei'; font-size: 12px; }");
}

} // namespace melodrift::skin
