#include "TSkinScrollBar.h"

namespace melodrift {

TSkinScrollBar::TSkinScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent)
{
    setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: #F3E4CF; width: 16px; margin: 16px 0 16px 0; border: 1px solid #A47346; }"
        "QScrollBar::handle:vertical { background: #D9A86C; border: 1px solid #8A5A2B; border-radius: 3px; min-height: 20px; }"
        "QScrollBar::handle:vertical:hover { background: #E8B77A; }"
        "QScrollBar::add-line:vertical { height: 16px; subcontrol-position: bottom; subcontrol-origin: margin;"
        "  background: #E2B076; border: 1px solid #A47346; }"
        "QScrollBar::sub-line:vertical { height: 16px; subcontrol-position: top; subcontrol-origin: margin;"
        "  background: #E2B076; border: 1px solid #A47346; }"
        "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical { width: 6px; height: 6px; background: #3C2B17; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
}

} // namespace melodrift
