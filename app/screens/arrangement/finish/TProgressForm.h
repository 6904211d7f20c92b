#pragma once

// The progress dialog: runs one long operation on its worker thread while it
// shows a bar and, where the operation can be stopped, a close button. Every
// long operation of the program goes through it. One dialog serves one
// operation; the entry operations return when the dialog has closed.

#include <QByteArray>
#include <QDialog>
#include <QTimer>
#include <memory>

#include "MessageDispatcher.h"
#include "ProgressLogic.h"
#include "TProgressThread.h"

class QLabel;

namespace melodrift {

struct AppSession;
class TPNGButton;
class TProgressBarView;

class TProgressForm : public QDialog, public TMessageTarget {
    Q_OBJECT
public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 81;

    TProgressForm(AppSession& session, QWidget* parent = nullptr);
    ~TProgressForm() override;

    // Each returns the dialog's result: 1 when the operation ended, 2 when
    // the user cancelled, or the code of UM_PROGRESS_FAILED.
    int RunExport(int trackBits, const QString& path, int fileType);
    int RunOpenProject(const QString& path);
    int RunSaveProject(const QString& path);
    int RunLogin();
    int RunSubmitQuestion(const QByteArray& question);
    int RunRegister();
    int RunUpload(const void* songInfo, const QString& path, CS_UploadResult* result);
    // Any prepared operation (the main window's own calls come this way).
    int Run(ProgressOperation op);

    // Caption, close button and animation of an operation (Run does this
    // first; tests look at a prepared dialog without running anything).
    void Prepare(int code, int trackBits = 0, bool hasBlock = false);

    // What an online operation returned (valid once the entry has returned).
    int32_t ResultCode() const { return static_cast<int32_t>(m_workerResult); }
    // What the worker's call returned, for any operation.
    int64_t WorkerResult() const { return m_workerResult; }

    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    // m_btnClose, or Escape while it is shown.
    void CloseClick();

    int Operation() const { return m_operation; }
    const ProgressBarState& Bar() const { return m_bar; }
    ProgressBarState& Bar() { return m_bar; }
    bool Animating() const { return m_animation.isActive(); }
    void AnimationTick();
    // Called once the worker runs, just before the dialog waits (tests
    // schedule their actions inside the modal loop from it).
    std::function<void(TProgressForm&)> onShown;

    QLabel* m_imgBk;
    QLabel* m_lblCaption;
    TPNGButton* m_btnClose;
    QWidget* m_panelProgress;
    TProgressBarView* m_pbProgress;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void CentreOverOwner();

    AppSession& m_session;
    int m_operation = 0;
    int64_t m_workerResult = 0;
    ProgressBarState m_bar;
    QTimer m_animation;
    std::unique_ptr<TProgressThread> m_worker;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

// The bar: "ProgressLeft" tiles up to the boundary, "ProgressRight" after it.
class TProgressBarView : public QWidget {
    Q_OBJECT
public:
    TProgressBarView(const ProgressBarState& state, QWidget* parent);
    void Repaint(int from, int to);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ProgressBarState& m_state;
    QPixmap m_left, m_right;
};

} // namespace melodrift
