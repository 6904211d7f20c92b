#include "TPopMenu.h"

#include <QActionGroup>
#include <QMenu>

#include "SkinArt.h"

namespace melodrift {

namespace {
TPopMenu::Script& MenuScript()
{
    static TPopMenu::Script script;
    return script;
}
} // namespace

void TPopMenu::SetScript(Script script)
{
    MenuScript() = std::move(script);
}

int TPopMenu::Popup(QWidget* parent, const std::vector<PopMenuItem>& items, const QPoint& globalPos)
{
    if (MenuScript())
        return MenuScript()(items);
    QMenu menu(parent);
    menu.setFont(skin::SkinFont(12));
    menu.setStyleSheet(QStringLiteral("QMenu{background:#FBF3E8;border:1px solid #A47346;color:#3C2B17}"
                                      "QMenu::item:selected{background:#8A5A2B;color:rgb(232,212,191)}"
                                      "QMenu::item:disabled{color:#A89A88}"
                                      "QMenu::separator{height:1px;background:#D8C4A8;margin:3px 6px}"));
    std::vector<QActionGroup*> groups;
    for (const PopMenuItem& item : items) {
        if (item.text.isEmpty()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(item.text);
        action->setEnabled(item.enabled);
        action->setCheckable(item.checked || item.group > 0);
        action->setChecked(item.checked);
        action->setData(item.tag);
        if (item.group > 0) {
            while (static_cast<int>(groups.size()) < item.group)
                groups.push_back(new QActionGroup(&menu));
            groups[static_cast<size_t>(item.group - 1)]->addAction(action);
        }
    }
    QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

} // namespace melodrift
