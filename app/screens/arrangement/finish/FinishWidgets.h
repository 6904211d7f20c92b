#pragma once

// Small skinned pieces the two finishing pages share: image buttons with a
// caption, information labels, the stage lists and their items.

#include <QColor>
#include <QPixmap>
#include <QString>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QSlider;
class QWidget;

namespace melodrift {
class TPNGButton;
}

namespace melodrift::finishui {

TPNGButton* Button(QWidget* parent, int w, int h, const QString& caption, const QString& hint);
QLabel* InfoLabel(QWidget* parent, int width);
// A horizontal level slider 0..100.
QSlider* VolumeSlider(QWidget* parent, const QString& hint);
// A list of stages, 20 pixels a row, with swatches; it never drags by itself.
QListWidget* StageList(QWidget* parent);
QListWidgetItem* StageItem(const QString& text, const QColor& colour);
// A header strip over a list; the owner places it (property "listHeader").
QLabel* ListHeader(QWidget* parent, const QString& caption, QListWidget* list);
// The remove target: normal or hover ("ImgDeleteStageNormal"/"...Hover").
QPixmap DeletePicture(bool hover);

} // namespace melodrift::finishui
