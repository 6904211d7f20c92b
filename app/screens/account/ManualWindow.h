#pragma once

// The user manual (UM_MANUAL): the program's HTML manual in a window of its
// own, titled "Melodrift 用户手册"; a second request brings that window back.

#include <QString>

class QWidget;

namespace melodrift {

// Path of the manual beside the program.
QString ManualPath();
// Shows the manual; false (with a message) when it is missing.
bool ShowManual(const QString& path = ManualPath());
// The open manual window, if any.
QWidget* ManualWindow();

} // namespace melodrift
