#include "SetupLogic.h"

#include <algorithm>
#include <cmath>

namespace melodrift {

int DialAngleFromTempo(int tempo)
{
    // Rounded half away from zero, so that both ends land on their limits
    // (a truncation of x + 0.5 puts tempo 50 at -134, which reads back as 51).
    return static_cast<int>(std::lround((tempo - 125) * 270.0 / 150.0));
}

int DialAngleFromTempoOnEntry(int tempo)
{
    return (tempo * 9 - 1125) / 5;
}

int TempoFromDialAngle(int angle)
{
    return angle * 150 / 270 + 125;
}

std::optional<int> DialAngleFromVector(double dx, double dy, int currentAngle)
{
    const double r = std::sqrt(dx * dx + dy * dy);
    if (r <= 0)
        return std::nullopt;
    // Rounded half away from zero: the left half of the dial mirrors the right.
    int a = static_cast<int>(std::lround(std::asin(dx / r) * 180.0 / M_PI));
    if (dy > 0)
        a = 180 - a;
    if (a > 180)
        a -= 360;
    if (a == currentAngle || a < -kDialLimit || a > kDialLimit)
        return std::nullopt;
    return a;
}

TapTempo::Result TapTempo::Tap(uint32_t nowMs)
{
    Result result;
    // The first tap of the run only starts the clock.
    const uint32_t d = m_tapped ? nowMs - m_lastTap : nowMs;
    const bool first = !m_tapped;
    m_tapped = true;
    result.tooFast = d > 0 && d <= 299;
    if (d > 1200) {
        m_count = 0;
        m_sum = 0;
    }
    ++m_count;
    if (m_count <= 3) {
        if (result.tooFast)
            --m_count;
        else if (m_count > 1 && !first)
            m_sum += d;
    }
    if (m_count > 2 && !result.tooFast) {
        m_average = m_count == 3 ? m_sum / 2 : (d + 3 * m_average) / 4;
        if (m_average > 0) {
            const int tempo = static_cast<int>(60000 / m_average);
            if (tempo >= kMinTempo && tempo <= kMaxTempo)
                result.tempo = tempo;
        }
    }
    m_lastTap = nowMs;
    return result;
}

QString LeaveQuestion(bool tempoChanged, bool metreChanged, bool askToSave)
{
    QString q = QStringLiteral("重设");
    if (!tempoChanged)
        q += QStringLiteral("节拍");
    else
        q += metreChanged ? QStringLiteral("速度和节拍") : QStringLiteral("速度");
    q += askToSave ? QStringLiteral("，将创建新的工程。\n是否保存当前工程?")
                   : QStringLiteral("，将创建新的工程。\n是否确定新建工程?");
    return q;
}

uint32_t GenreMaskOf(const int8_t categories[4])
{
    uint32_t mask = 0;
    for (int i = 0; i < 4 && categories[i] >= 0; ++i)
        mask |= 1u << std::min<int>(categories[i], 9);
    return mask;
}

std::vector<int> CheckedCategories(uint32_t mask)
{
    std::vector<int> list;
    for (int bit = 0; bit < 32; ++bit)
        if (mask & (1u << bit))
            list.push_back(bit);
    return list;
}

int DiskPictureOf(const int8_t categories[4])
{
    return categories[0] < 0 ? 0 : std::min<int>(categories[0], 9);
}

void StyleCarousel::SetGeometry(int panelWidth, int diskWidth, int diskHeight, int sleeveWidth)
{
    m_panelWidth = panelWidth;
    m_slotWidth = panelWidth / 4;
    m_diskWidth = diskWidth;
    m_diskHeight = diskHeight;
    m_sleeveWidth = sleeveWidth;
    offset = CentreOffset();
}

void StyleCarousel::ClearSelection()
{
    selected = -1;
    sleeveOffset = 0;
    centring = opening = false;
    running = true;
}

void StyleCarousel::SetCount(int count)
{
    m_count = std::max(0, count);
    ClearSelection();
    lastPlayed = -1;
    hovered = -1;
    first = 0;
    offset = CentreOffset();
}

void StyleCarousel::Browse(int dir, bool leftButton)
{
    if (lastBrowse != dir)
        speed = 0;
    lastBrowse = dir;
    direction = dir;
    speed = std::clamp(speed + (leftButton ? 1 : -1), 1, 4);
    ClearSelection();
}

void StyleCarousel::Wrap()
{
    if (m_count == 0)
        return;
    if (offset < 0 && offset <= -m_diskWidth) {
        offset += m_slotWidth;
        first = (first + 1) % m_count;
    } else if (offset > 0 && offset > m_slotWidth - m_diskWidth) {
        offset -= m_slotWidth;
        first = (first + m_count - 1) % m_count;
    }
}

std::vector<StyleCarousel::Disk> StyleCarousel::Disks() const
{
    std::vector<Disk> disks;
    if (m_count == 0)
        return disks;
    int i = first;
    for (int x = offset; x < m_panelWidth; x += m_slotWidth, i = (i + 1) % m_count)
        disks.push_back({i, x, i == selected && !centring});
    return disks;
}

int StyleCarousel::DiskAt(int x, int y) const
{
    if (y < 0 || y >= m_diskHeight)
        return -1;
    for (const Disk& d : Disks())
        if (x >= d.x && x < d.x + m_sleeveWidth)
            return d.index;
    return -1;
}

bool StyleCarousel::Choose(int index)
{
    if (m_count == 0 || index < 0 || index >= m_count || index == selected)
        return false;
    selected = index;
    const int w = ((selected - first) % m_count + m_count) % m_count;
    if (w < 2 || (w == 2 && offset < CentreOffset()))
        direction = 1;
    else if (w > 2 || (w == 2 && offset > CentreOffset()))
        direction = -1;
    sleeveOffset = 0;
    lastBrowse = 0;
    centring = true;
    opening = false;
    running = true;
    return true;
}

bool StyleCarousel::Tick()
{
    if (opening) {
        if (sleeveOffset <= 17 - m_diskWidth) {
            running = false;
            opening = false;
            return true;
        }
        sleeveOffset -= 2;
    } else if (centring) {
        if (first == (selected + m_count - 2) % m_count && std::abs(offset - CentreOffset()) < 10) {
            offset = CentreOffset();
            direction = 0;
            centring = false;
            opening = true;
        } else {
            offset += direction * 10;
        }
    } else {
        offset += direction * (speed <= 1 ? 1 : speed * 2);
    }
    Wrap();
    return false;
}

} // namespace melodrift
