#pragma once

// The texts of the update dialog: the announced and running versions with
// their edition names, and the release notes as list lines.

#include <QString>
#include <QStringList>

#include "Tidelink.h"

namespace melodrift {

// " 公测版", " 正式版" or " 内测版" by the third version number modulo 3.
QString EditionName(int third);
// "最新版本：1.0.4.0312 公测版"
QString AnnouncedVersionText(const CS_VersionRecord& announced);
// "当前版本：" + the running version string and its edition; a string that
// does not read as four numbers is shown as it is.
QString RunningVersionText(const QString& version);
// The notes split at line feeds; an empty stretch becomes an empty line.
QStringList ReleaseNoteLines(const CS_VersionRecord& announced);

} // namespace melodrift
