#pragma once

// The song-form screen's bar view: the whole song stage by stage in the
// stages' colours, markers at each stage's first bar, melody stages with the
// chords of their melody bars and fills in the titles, the selected stage
// framed and, during a drag, the insertion point.

#include "TShowBarsPanel.h"

namespace melodrift {

class TComposePanel : public TShowBarsPanel {
    Q_OBJECT
public:
    explicit TComposePanel(TSongModel& song, QWidget* parent = nullptr);

    // Recounts the bars from the song form.
    void Rebuild();
    void SetSelectedStage(int stage);
    int SelectedStage() const { return m_selected; }
    // Insertion point of a drag (-1 none).
    void SetInsertMark(int position);
    int InsertMark() const { return m_insertMark; }
    // The insertion position for a point of the view: the stage under it,
    // or the next one past its middle; -1 outside the bars.
    int InsertionAt(const QPoint& at);
    int StageAt(const QPoint& at, int* zone = nullptr);

signals:
    // A press in the view: selection, cursor, drag start and menus are the
    // form's decisions.
    void pressed(QMouseEvent* event);

protected:
    void GetBarTitle(int bar, QString& title) override;
    void DrawContentBack(QPainter& p, int bar, int x, int y) override;
    void DrawContent(QPainter& p, int bar, int x, int y) override;
    void DrawTopStrip(QPainter& p, int bar, int x, int y) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TSongModel& m_song;
    int m_selected = -1;
    int m_insertMark = -1;
};

} // namespace melodrift
