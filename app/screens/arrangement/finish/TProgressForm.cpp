#include "TProgressForm.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include "AppSession.h"
#include "EngineTables.h"
#include "FinishArt.h"
#include "SkinArt.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

// The caption box is 90 pixels wide around x = 150; longer captions widen
// it about the same centre so that no character is cut.
void PlaceCaption(QLabel* label)
{
    const int text = label->fontMetrics().horizontalAdvance(label->text()) + 4;
    const int width = std::max(90, text);
    label->setGeometry(150 - width / 2, 3, width, 18);
}

} // namespace

TProgressBarView::TProgressBarView(const ProgressBarState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_left(finishart::Picture(QStringLiteral("ProgressLeft"))),
      m_right(finishart::Picture(QStringLiteral("ProgressRight")))
{
}

void TProgressBarView::Repaint(int from, int to)
{
    const int left = std::min(from, to);
    const int right = std::max(from, to);
    // Widen by a tile: the tile under the boundary changes on both sides.
    update(QRect(left - m_left.width(), 0, right - left + 2 * m_left.width(), height()));
}

void TProgressBarView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setClipRect(rect());
    const int tile = std::max(1, m_left.width());
    const int position = m_state.Position();
    const int width = ProgressBarState::kBarWidth;
    if (position > 0) {
        p.save();
        p.setClipRect(QRect(0, 0, position, height()));
        for (int i = 0; i < position / tile + 1; ++i)
            p.drawPixmap(i * tile, 0, m_left);
        p.restore();
    }
    if (position < width) {
        for (int i = 0; i < (width - position) / tile + 1; ++i)
            p.drawPixmap(position + i * tile, 0, m_right);
    }
}

TProgressForm::TProgressForm(AppSession& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    finishart::RoundCorners(this, kWidth, kHeight, 10);

    m_imgBk = new QLabel(this);
    m_imgBk->setGeometry(0, 0, kWidth, kHeight);
    m_imgBk->setPixmap(skin::DialogBackground(kWidth, kHeight));

    m_lblCaption = new QLabel(this);
    m_lblCaption->setFont(skin::SkinFont(12));
    m_lblCaption->setAlignment(Qt::AlignCenter);
    QPalette pal = m_lblCaption->palette();
    pal.setColor(QPalette::WindowText, skin::kInk);
    m_lblCaption->setPalette(pal);
    PlaceCaption(m_lblCaption);

    m_btnClose = new TPNGButton(this);
    m_btnClose->SetPngImg(skin::ButtonStrip(17, 16, 4, QString(), skin::Glyph::Close));
    m_btnClose->move(276, 5);
    m_btnClose->SetHint(QStringLiteral("取消"));
    m_btnClose->hide();
    connect(m_btnClose, &TPNGButton::clicked, this, &TProgressForm::CloseClick);

    m_panelProgress = new QWidget(this);
    m_panelProgress->setGeometry(24, 40, 252, 21);
    m_panelProgress->setAutoFillBackground(true);
    QPalette panel = m_panelProgress->palette();
    panel.setColor(QPalette::Window, QColor(0x8A, 0x6A, 0x48));
    m_panelProgress->setPalette(panel);
    m_pbProgress = new TProgressBarView(m_bar, m_panelProgress);
    m_pbProgress->setGeometry(1, 1, ProgressBarState::kBarWidth, 19);

    m_animation.setInterval(200);
    connect(&m_animation, &QTimer::timeout, this, &TProgressForm::AnimationTick);
    RegisterMessageTarget(this, this);
}

TProgressForm::~TProgressForm()
{
    UnregisterMessageTarget(this);
    m_worker.reset();   // waits for the operation's call to return
}

int TProgressForm::RunExport(int trackBits, const QString& path, int fileType)
{
    ProgressOperation op;
    op.code = kOpExport;
    op.trackBits = trackBits;
    op.path = QFile::encodeName(path).toStdString();
    op.fileType = fileType;
    return Run(std::move(op));
}

int TProgressForm::RunOpenProject(const QString& path)
{
    ProgressOperation op;
    op.code = kOpOpenProject;
    op.song = &m_session.song;
    op.path = path.toStdString();
    return Run(std::move(op));
}

int TProgressForm::RunSaveProject(const QString& path)
{
    ProgressOperation op;
    op.code = kOpSaveProject;
    op.song = &m_session.song;
    op.path = QFile::encodeName(path).toStdString();
    return Run(std::move(op));
}

int TProgressForm::RunLogin()
{
    ProgressOperation op;
    op.code = kOpLogin;
    op.user = &m_session.user;
    return Run(std::move(op));
}

int TProgressForm::RunSubmitQuestion(const QByteArray& question)
{
    ProgressOperation op;
    op.code = kOpSubmitQuestion;
    op.userId = m_session.user.userId;
    // The service takes at most 255 bytes; a cut must not split a character.
    qsizetype length = std::min<qsizetype>(question.size(), 255);
    if (length < question.size())
        while (length > 0 && (static_cast<uint8_t>(question[length]) & 0xC0) == 0x80)
            --length;
    const QByteArray text = question.left(length);
    op.text = text.toStdString();
    return Run(std::move(op));
}

int TProgressForm::RunRegister()
{
    ProgressOperation op;
    op.code = kOpRegister;
    op.user = &m_session.user;
    return Run(std::move(op));
}

int TProgressForm::RunUpload(const void* songInfo, const QString& path, CS_UploadResult* result)
{
    ProgressOperation op;
    op.code = kOpUpload;
    op.userId = m_session.user.userId;
    op.songInfo = songInfo;
    op.path = QFile::encodeName(path).toStdString();
    op.uploadResult = result;
    return Run(std::move(op));
}

int TProgressForm::Run(ProgressOperation op)
{
    if (m_worker)
        return 2;   // one dialog, one operation
    Prepare(op.code, op.trackBits, op.songInfo != nullptr);
    if (op.code == kOpExport)
        op.trackBits = ProgressSetupFor(op.code, op.trackBits).trackBits;
    if (op.code == kOpRegister && !op.mainWindow && parentWidget())
        op.mainWindow = WindowHandle(parentWidget()->window());
    m_worker = std::make_unique<TProgressThread>(std::move(op), WindowHandle(this));
    if (onShown)
        onShown(*this);
    const int result = exec();
    m_animation.stop();
    m_worker->Join();
    m_workerResult = m_worker->Result();
    return result;
}

void TProgressForm::Prepare(int code, int trackBits, bool hasBlock)
{
    const ProgressSetup setup = ProgressSetupFor(code, trackBits, hasBlock);
    m_operation = code;
    m_lblCaption->setText(setup.caption);
    PlaceCaption(m_lblCaption);
    m_btnClose->setVisible(setup.closeButton);
    if (setup.animation)
        m_animation.start();
    else
        m_animation.stop();
}

intptr_t TProgressForm::HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case UM_PROGRESS_FAILED:
        // A failure is never read as "ended" or "cancelled".
        done(wParam == 0 || wParam == 1 || wParam == 2 ? -1 : static_cast<int>(wParam));
        return 1;
    case UM_PROGRESS_STEP: {
        const int old = m_bar.Position();
        m_bar.Step(static_cast<int>(wParam));
        m_pbProgress->Repaint(old, m_bar.Position());
        return 1;
    }
    case UM_PROGRESS_DONE:
        done(1);
        return 1;
    case UM_PROGRESS_RANGE:
        m_bar.Range(static_cast<int>(wParam), static_cast<int>(lParam));
        return 1;
    default:
        return 0;
    }
}

void TProgressForm::AnimationTick()
{
    m_bar.Tick();
    m_pbProgress->update();
}

void TProgressForm::CloseClick()
{
    if (m_operation == kOpExport) {
        Engines().mm.MM_CancelSave();
    } else if (m_operation >= kOpLogin && m_operation <= kOpUpload) {
        m_animation.stop();
        Engines().cs.CS_CancelOperation();
    }
    done(2);
}

bool TProgressForm::event(QEvent* e)
{
    if (DeliverMessageEvent(this, e))
        return true;
    return QDialog::event(e);
}

void TProgressForm::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        if (m_btnClose->isVisible())
            CloseClick();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(e);
}

void TProgressForm::reject()
{
    // Only the close button (or Escape while it shows) cancels.
    if (m_btnClose->isVisible())
        CloseClick();
}

void TProgressForm::showEvent(QShowEvent* e)
{
    CentreOverOwner();
    QDialog::showEvent(e);
}

void TProgressForm::CentreOverOwner()
{
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->geometry().center() - QPoint(kWidth / 2, kHeight / 2));
}

void TProgressForm::mousePressEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    m_dragging = e->button() == Qt::LeftButton && at.y() < 24 && at.x() < 274;
    m_dragFrom = e->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(e);
}

void TProgressForm::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_dragFrom);
    QDialog::mouseMoveEvent(e);
}

} // namespace melodrift
