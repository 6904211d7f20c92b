#pragma once

// The image button every screen uses: one frame of a horizontal strip of
// state pictures (normal, hover, pressed, disabled), a hint, a sticky pressed
// look and an enabled state that only strips with a disabled frame can lose.

#include <QPixmap>
#include <QWidget>

namespace melodrift {

class TPNGButton : public QWidget {
    Q_OBJECT
public:
    explicit TPNGButton(QWidget* parent = nullptr);

    // Copies the strip; the button takes one frame's size and keeps it.
    void SetPngImg(const QPixmap& strip);
    const QPixmap& PngImg() const { return m_strip; }
    // 2..4; out-of-range values are clamped.
    void SetImgStates(int states);
    int ImgStates() const { return m_states; }

    void SetDown(bool down);
    bool Down() const { return m_down; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }
    void SetModalResult(int result) { m_modalResult = result; }
    int ModalResult() const { return m_modalResult; }
    void SetHint(const QString& hint) { setToolTip(hint); }

    // 0 normal, 1 hover, 2 pressed, 3 disabled.
    int EtatBtn() const { return m_state; }
    // The frame painting shows now.
    int PaintedFrame() const;

signals:
    void clicked();
    void mouseEntered();
    void mouseLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Click();

    QPixmap m_strip;
    int m_states = 4;
    bool m_down = false;
    bool m_enabled = true;
    bool m_pressed = false;
    int m_modalResult = 0;
    int m_state = 0;
};

} // namespace melodrift
