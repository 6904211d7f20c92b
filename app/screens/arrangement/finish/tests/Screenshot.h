#pragma once

// Pictures of the screens for a person to look at, in the build tree.

#include <QDir>
#include <QWidget>

namespace melodrift::test {

inline bool SaveScreenshot(QWidget& widget, const QString& name)
{
    const QString dir = QStringLiteral(MELODRIFT_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    return widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace melodrift::test
