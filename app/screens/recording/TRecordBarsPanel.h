#pragma once

// The record screen's bar view: the input level of each bar as one line per
// tick, the re-record range with its markers shaded outside, and the mouse
// gestures that move the cursor or place the markers.

#include <functional>

#include "RecordLogic.h"
#include "TShowBarsPanel.h"

namespace melodrift {

class TRecordBarsPanel : public TShowBarsPanel {
    Q_OBJECT
public:
    using TShowBarsPanel::TShowBarsPanel;

    RecordRange range;
    bool partial = false;       // shade outside the range, show the markers
    bool locked = false;        // recording: the mouse does nothing
    // 1 the next click places the begin marker, 2 the end marker.
    int placing = 0;

    // The point of the grid as a bar position; nothing outside.
    std::optional<BarPos> PositionAt(QPoint at, bool clamp);

signals:
    void clickedAt(BarPos at);              // a click that did not move
    void rangeDragged();                    // a drag set a range
    void markerPlaced(int which);           // 1 begin, 2 end
    void rightClicked();
    void markerRemoved();

protected:
    void DrawContentBack(QPainter& p, int bar, int x, int y) override;
    void DrawContent(QPainter& p, int bar, int x, int y) override;
    void DrawTopStrip(QPainter& p, int bar, int x, int y) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPoint m_pressAt;
    bool m_pressed = false, m_dragging = false;
};

} // namespace melodrift
