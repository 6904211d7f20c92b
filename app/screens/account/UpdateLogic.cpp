#include "UpdateLogic.h"

#include <cstring>

namespace melodrift {

QString EditionName(int third)
{
    switch (((third % 3) + 3) % 3) {
    case 1: return QStringLiteral(" 公测版");
    case 2: return QStringLiteral(" 正式版");
    default: return QStringLiteral(" 内测版");
    }
}

QString AnnouncedVersionText(const CS_VersionRecord& v)
{
    return QStringLiteral("最新版本：%1.%2.%3.%4")
               .arg(v.major)
               .arg(v.minor)
               .arg(v.modify)
               .arg(v.build, 4, 10, QLatin1Char('0')) +
           EditionName(v.modify);
}

QString RunningVersionText(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    bool ok = parts.size() == 4;
    const int third = ok ? parts[2].toInt(&ok) : 0;
    return QStringLiteral("当前版本：") + version + (ok ? EditionName(third) : QString());
}

QStringList ReleaseNoteLines(const CS_VersionRecord& v)
{
    const QString notes =
        QString::fromUtf8(v.serverText, static_cast<qsizetype>(strnlen(v.serverText, sizeof v.serverText)));
    if (notes.isEmpty())
        return {};
    // Split keeps empty stretches as empty lines, as the list shows them.
    return notes.split(QLatin1Char('\n'));
}

} // namespace melodrift
