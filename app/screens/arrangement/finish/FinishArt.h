#pragma once

// Pictures of the finishing dialogs, painted at run time like the rest of the
// skin: the check boxes and the tiles of the progress bar.

#include <QPixmap>
#include <QString>

class QWidget;

namespace melodrift::finishart {

// "BmpChecked", "BmpUnchecked", "ProgressLeft", "ProgressRight"; an unknown
// name gives a null picture.
QPixmap Picture(const QString& name);

// Clips a borderless dialog to a rounded rectangle (where the platform has
// window shapes).
void RoundCorners(QWidget* dialog, int width, int height, qreal radius);

} // namespace melodrift::finishart
