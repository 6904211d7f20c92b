#pragma once

// The frame every dialog of the account screens shares: borderless, the
// skin's dialog background with its title in the top strip, rounded corners,
// a close button, dragging by the top strip, Escape for Cancel.

#include <QDialog>

namespace melodrift {

class TPNGButton;

class TAccountDialog : public QDialog {
    Q_OBJECT
public:
    TAccountDialog(const QString& title, QSize size, int cornerRadius, QWidget* parent);

    // The top strip that drags the window: y below dragHeight, x inside
    // (left, width - right).
    void SetDragStrip(int dragHeight, int left, int right);
    bool InDragStrip(QPoint at) const;
    // Centred over the owner's window (or the screen without one).
    void CentreOverOwner();

    TPNGButton* m_btnClose;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int m_radius;
    int m_dragHeight = 24, m_dragLeft = 10, m_dragRight = 20;
};


} // namespace melodrift
