#pragma once

// What the progress dialog decides without pixels: the caption, close button
// and animation of each operation, and where the bar's boundary stands after
// the reports of the operation and the ticks of the animation.

#include <QString>

namespace melodrift {

struct ProgressSetup {
    QString caption;
    bool closeButton = false;
    bool animation = false;
    int trackBits = 0;     // an export of no tracks writes both
};

// code: an operation of ProgressOperationCode; hasBlock: an upload with a
// song description (without one it only checks the permission).
ProgressSetup ProgressSetupFor(int code, int trackBits = 0, bool hasBlock = false);

class ProgressBarState {
public:
    static constexpr int kBarWidth = 250;
    static constexpr int kAnimationStep = 20;

    // UM_PROGRESS_RANGE: start and end in per cent, an end of 0 is 100.
    void Range(int startPercent, int endPercent);
    // UM_PROGRESS_STEP: per cent of the current range.
    void Step(int percent);
    // One animation tick: the boundary sweeps and wraps.
    void Tick();
    void SetPosition(int position) { m_position = position; }

    int Position() const { return m_position; }
    int RangeStart() const { return m_rangeStart; }
    int RangeEnd() const { return m_rangeEnd; }

private:
    int m_position = 0;
    int m_rangeStart = 0;
    int m_rangeEnd = kBarWidth;
};

} // namespace melodrift
