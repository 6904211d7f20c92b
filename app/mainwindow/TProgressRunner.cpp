#include "TProgressRunner.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "SkinArt.h"

namespace melodrift {

namespace {
ProgressRunnerHook& Hook()
{
    static ProgressRunnerHook hook;
    return hook;
}
} // namespace

void SetProgressRunnerHook(ProgressRunnerHook hook) { Hook() = std::move(hook); }

TProgressRunner::TProgressRunner(const QString& caption, QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(300, 90);
    auto* layout = new QVBoxLayout(this);
    m_caption = new QLabel(caption, this);
    m_caption->setFont(skin::SkinFont(14));
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    layout->addWidget(m_caption);
    layout->addWidget(m_bar);
    setStyleSheet(QStringLiteral("QDialog{background:#FBF3E8;border:1px solid #8A5A2B} QLabel{color:#3C2B17}"));
    RegisterMessageTarget(this, this);
}

TProgressRunner::~TProgressRunner() { UnregisterMessageTarget(this); }

int64_t TProgressRunner::Run(ProgressOperation op)
{
    if (Hook()) {
        const ProgressOutcome outcome = Hook()(parentWidget(), std::move(op));
        m_failed = outcome.failed;
        return outcome.workerResult;
    }
    TProgressThread worker(std::move(op), WindowHandle(this));
    exec();
    worker.Join();
    return worker.Result();
}

intptr_t TProgressRunner::HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case UM_PROGRESS_RANGE:
        m_from = static_cast<int>(wParam);
        m_to = lParam == 0 ? 100 : static_cast<int>(lParam);
        return 1;
    case UM_PROGRESS_STEP:
        m_percent = m_from + static_cast<int>((m_to - m_from) * wParam / 100);
        m_bar->setValue(m_percent);
        return 1;
    case UM_PROGRESS_DONE:
    case UM_PROGRESS_FAILED:
        m_failed = message == UM_PROGRESS_FAILED;
        done(message == UM_PROGRESS_DONE ? Accepted : Rejected);
        return 1;
    default: return 0;
    }
}

bool TProgressRunner::event(QEvent* e)
{
    if (DeliverMessageEvent(this, e))
        return true;
    return QDialog::event(e);
}

} // namespace melodrift
