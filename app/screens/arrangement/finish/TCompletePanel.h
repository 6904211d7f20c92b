#pragma once

// The complete screen's bar view: the whole song stage by stage in the
// stages' colours (darker outside a re-record range), the level curve of the
// final take in every bar, and the range markers in partial mode.

#include "TShowBarsPanel.h"

namespace melodrift {

class CompleteState;

class TCompletePanel : public TShowBarsPanel {
    Q_OBJECT
public:
    TCompletePanel(TSongModel& song, const CompleteState& state, QWidget* parent = nullptr);
    void Rebuild();

signals:
    void pressed(QMouseEvent* event);
    void doubleClicked(QMouseEvent* event);

protected:
    void DrawContentBack(QPainter& p, int bar, int x, int y) override;
    void DrawContent(QPainter& p, int bar, int x, int y) override;
    void DrawTopStrip(QPainter& p, int bar, int x, int y) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TSongModel& m_song;
    const CompleteState& m_state;
};

} // namespace melodrift
