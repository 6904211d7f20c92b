#pragma once

// The song setup screen's decisions without pixels: the tempo dial's angle
// and tempo, tap tempo, the style carousel's motion, the question asked when
// leaving with a changed tempo or metre.

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace melodrift {

constexpr int kMinTempo = 50;
constexpr int kMaxTempo = 200;
constexpr int kDialLimit = 135;

// Dial angle in degrees, 0 up, clockwise positive.
int DialAngleFromTempo(int tempo);          // rounded, the form the controls use
int DialAngleFromTempoOnEntry(int tempo);   // truncated, as on activation
int TempoFromDialAngle(int angle);
// The angle a vector from the dial's centre points at; nothing when it is the
// current angle or beyond the dial's limits.
std::optional<int> DialAngleFromVector(double dx, double dy, int currentAngle);

// Taps on the pad or the space bar.
class TapTempo {
public:
    struct Result {
        bool tooFast = false;
        int tempo = -1;     // -1: no tempo from this tap
    };
    // nowMs: the millisecond clock at the tap.
    Result Tap(uint32_t nowMs);
    int Count() const { return m_count; }
    int Average() const { return m_average; }

private:
    int m_count = 0;
    uint32_t m_sum = 0;
    uint32_t m_average = 0;
    uint32_t m_lastTap = 0;
    bool m_tapped = false;
};

// Step mask after a metre change: every step when back at the entry metre,
// else only setup and record.
inline int StepMaskForMetre(int metre, int entryMetre) { return metre == entryMetre ? 31 : 3; }

// "重设速度和节拍，将创建新的工程。\n是否保存当前工程?" and its kin.
QString LeaveQuestion(bool tempoChanged, bool metreChanged, bool askToSave);

// The style's music type codes (stop at the first negative) as a category mask.
uint32_t GenreMaskOf(const int8_t categories[4]);
std::vector<int> CheckedCategories(uint32_t mask);
// Disk picture of a style: its first type code, 9 from 10 up; 0 with none.
int DiskPictureOf(const int8_t categories[4]);

// The carousel of recommended styles: slots of slotWidth with disks of
// diskWidth, scrolling by a direction and speed, centring a chosen style in
// the third slot and then opening its sleeve.
class StyleCarousel {
public:
    void SetGeometry(int panelWidth, int diskWidth, int diskHeight, int sleeveWidth);
    void SetCount(int count);       // a fresh list: everything back at rest
    int Count() const { return m_count; }
    int SlotWidth() const { return m_slotWidth; }
    int CentreOffset() const { return -(m_diskWidth / 2); }

    // Back at rest: nothing selected, no animation phase.
    void ClearSelection();
    // Scroll buttons: dir -1 for "向右浏览", +1 for "向左浏览"; the left mouse
    // button speeds up, another slows down.
    void Browse(int dir, bool leftButton);
    // Index of the disk at a point of the panel, -1 for none.
    int DiskAt(int x, int y) const;
    // Starts centring a newly chosen style; false when it is already selected.
    bool Choose(int index);
    // One animation tick; true when the sleeve has opened and the demo plays.
    bool Tick();
    void Stop() { direction = 0; centring = opening = false; running = false; }

    // Applies the wrap-around of the leftmost disk (done before painting).
    void Wrap();
    struct Disk {
        int index, x;
        bool selected;
    };
    std::vector<Disk> Disks() const;

    int first = 0, offset = 0, selected = -1, lastPlayed = -1, hovered = -1;
    int direction = 0, speed = 0, sleeveOffset = 0;
    bool centring = false, opening = false;
    int lastBrowse = 0;     // 0 none, else the direction of the last scroll button
    bool running = false;   // the animation timer

private:
    int m_count = 0, m_panelWidth = 636, m_slotWidth = 159;
    int m_diskWidth = 120, m_diskHeight = 120, m_sleeveWidth = 120;
};

} // namespace melodrift
