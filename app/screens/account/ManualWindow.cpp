#include "ManualWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

#include "AppSession.h"
#include "TMessageForm.h"

namespace melodrift {

namespace {

const QString kManualTitle = QStringLiteral("Melodrift 用户手册");

} // namespace

QString ManualPath() { return QString::fromStdString(ApplicationDirectory()) + QStringLiteral("Help/MelodriftManual.html"); }

QWidget* ManualWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == kManualTitle && qobject_cast<QTextBrowser*>(w))
            return w;
    return nullptr;
}

bool ShowManual(const QString& path)
{
    if (QWidget* open = ManualWindow()) {
        open->showNormal();
        open->raise();
        open->activateWindow();
        return true;
    }
    if (!QFileInfo(path).isFile()) {
        ShowMessageBox(QStringLiteral("找不到用户手册。"), 16);
        return false;
    }
    auto* browser = new QTextBrowser;
    browser->setAttribute(Qt::WA_DeleteOnClose);
    browser->setOpenExternalLinks(true);
    browser->setWindowTitle(kManualTitle);
    browser->setSource(QUrl::fromLocalFile(path));
    // The page's own title would replace the window's.
    browser->setWindowTitle(kManualTitle);
    browser->resize(720, 560);
    browser->show();
    return true;
}

} // namespace melodrift
