#include <QPainter>

#include "SongModel.h"
#include "SkinArt.h"
#include "TScreenPage.h"

namespace melodrift {

TPlaceholderPage::TPlaceholderPage(const QString& screenName, TSongModel& song, QWidget* parent)
    : TScreenPage(parent), m_screenName(screenName), m_song(song)
{
}

void TPlaceholderPage::LeaveStep(intptr_t)
{
    ++m_leaves;
    // Nothing on this page can refuse a leave.
    m_song.SetFlag(kFlagLeftByStepBar, true);
}

void TPlaceholderPage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect(), skin::PageBackground(width(), height()));
    p.setPen(skin::kInk);
    p.setFont(skin::SkinFont(22, true));
    p.drawText(rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, m_screenName);
    p.setFont(skin::SkinFont(14));
    p.drawText(rect().adjusted(0, 40, 0, 0), Qt::AlignCenter, QStringLiteral("此页面尚未完成。"));
}

} // namespace melodrift
