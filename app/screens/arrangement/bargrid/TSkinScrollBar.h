#pragma once

// The skinned vertical scroll bar of the bar views: a Qt scroll bar in the
// skin's colours.

#include <QScrollBar>

namespace melodrift {

class TSkinScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit TSkinScrollBar(QWidget* parent = nullptr);
};

} // namespace melodrift
