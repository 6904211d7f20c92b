#pragma once

// The skinned pop-up menu: items with text, enabled and checked states, a
// radio group and a tag; opened at a screen point, it answers the chosen
// item's tag (0 when nothing was chosen).

#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace melodrift {

struct PopMenuItem {
    QString text;      // empty: a separator
    bool enabled = true;
    bool checked = false;
    int group = 0;     // items of one group above 0 show as radio items
    int tag = 0;
};

class TPopMenu {
public:
    static int Popup(QWidget* parent, const std::vector<PopMenuItem>& items, const QPoint& globalPos);
    // A scripted answer replaces the menu (tests): it sees the items and
    // returns the tag to choose.
    using Script = std::function<int(const std::vector<PopMenuItem>&)>;
    static void SetScript(Script script);
};

} // namespace melodrift
