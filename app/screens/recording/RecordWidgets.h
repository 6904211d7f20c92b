#pragma once

// Small controls of the record screen: the pop-up volume slider, the input
// level meter and the on-screen keyboard.

#include <QWidget>
#include <functional>

namespace melodrift {

// A 100-pixel vertical track; volume = (100 - knob) / 100.
class TVolumeSlider : public QWidget {
    Q_OBJECT
public:
    explicit TVolumeSlider(QWidget* parent = nullptr);
    void SetVolume(float volume);           // places the knob, no signal
    int Knob() const { return m_knob; }
    float Volume() const { return (100 - m_knob) / 100.0f; }
    // A press at a point of the slider: on the track moves the knob there.
    bool PressAt(QPoint at);
    void DragTo(int y);
    void Release();

signals:
    void volumeApplied(float volume);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_knob = 0;
    bool m_dragging = false;
};

// 53 segments, 2 pixels wide every 3.
class TLevelMeter : public QWidget {
    Q_OBJECT
public:
    explicit TLevelMeter(QWidget* parent = nullptr);
    void SetSegments(int lit);
    int Segments() const { return m_lit; }
    static QColor SegmentColour(int i);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_lit = 0;
};

// Two octaves from note 48; plays through callbacks.
class TKeyboardPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kOctaves = 2, kBlackHeight = 36;
    explicit TKeyboardPanel(QWidget* parent = nullptr);
    std::function<void(int)> noteOn, noteOff;
    int Sounding() const { return m_note; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Sound(int note);
    int m_note = -1;
};

} // namespace melodrift
