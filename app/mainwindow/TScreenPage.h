#pragma once

// A screen hosted on one page of the main window. The main window calls
// EnterStep when the page becomes current and LeaveStep (with the asking
// window, or 0) when the user leaves it.

#include <QWidget>
#include <cstdint>

namespace melodrift {

class TSongModel;

class TScreenPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void EnterStep() {}
    virtual void LeaveStep(intptr_t sender) { (void)sender; }
    // Stops whatever the screen plays or records (before an open).
    virtual void StopPlayback() {}
    // The service reported a new unread count (which 0 general, 1 personal).
    virtual void NoticeCountChanged(int count, int which) { (void)count; (void)which; }
    // The help page remembers the page it was opened from, and opens on the
    // notices when the badge asked for it.
    int openedFrom = -1;
    bool noticesWanted = false;
};

// A page whose screen is not built yet: says so plainly. Leaving it is
// always allowed.
class TPlaceholderPage : public TScreenPage {
    Q_OBJECT
public:
    TPlaceholderPage(const QString& screenName, TSongModel& song, QWidget* parent = nullptr);
    void LeaveStep(intptr_t sender) override;
    int EnterCount() const { return m_enters; }
    int LeaveCount() const { return m_leaves; }
    void EnterStep() override { ++m_enters; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_screenName;
    TSongModel& m_song;
    int m_enters = 0, m_leaves = 0;
};

} // namespace melodrift
