#pragma once

// Runs one worker operation (open, save, export, upload...) while a small
// modal window shows its progress; the worker reports by posted messages.

#include <QDialog>
#include <functional>

#include "MessageDispatcher.h"
#include "TProgressThread.h"

class QLabel;
class QProgressBar;

namespace melodrift {

// The program's progress dialog takes over from this interim window once its
// screens are registered: it runs the operation modally over parent and
// reports what Run and Failed report.
struct ProgressOutcome {
    int64_t workerResult = 0;
    bool failed = false;
};
using ProgressRunnerHook = std::function<ProgressOutcome(QWidget* parent, ProgressOperation op)>;
void SetProgressRunnerHook(ProgressRunnerHook hook);

class TProgressRunner : public QDialog, public TMessageTarget {
    Q_OBJECT
public:
    explicit TProgressRunner(const QString& caption, QWidget* parent = nullptr);
    ~TProgressRunner() override;

    // Returns the operation's result (see RunProgressOperation).
    int64_t Run(ProgressOperation op);
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    int LastPercent() const { return m_percent; }
    // The worker reported a failure (UM_PROGRESS_FAILED).
    bool Failed() const { return m_failed; }

protected:
    bool event(QEvent* event) override;
    void reject() override {}   // the operation ends the window, not Escape

private:
    QLabel* m_caption;
    QProgressBar* m_bar;
    int m_from = 0, m_to = 100, m_percent = 0;
    bool m_failed = false;
};

} // namespace melodrift
