#pragma once

// The bar grid's pictures, painted once: the tiled panel background
// (250 x 90) and the bar-number strip (119 x 11).

#include <QPixmap>

namespace melodrift::bargrid {

const QPixmap& CustomPanelBackground();
const QPixmap& BarTitle();

} // namespace melodrift::bargrid
