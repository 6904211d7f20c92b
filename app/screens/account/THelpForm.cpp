#include "THelpForm.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QUrl>

#include "LimitedEdits.h"
#include "AppSession.h"
#include "MainLogic.h"
#include "MessageDispatcher.h"
#include "OnlineOperation.h"
#include "ServiceEvents.h"
#include "SkinArt.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TSkinScrollBar.h"

namespace melodrift {

namespace {

const QColor kFrame(0xA4, 0x73, 0x46);
const QColor kTitleRed(0xFF, 0x00, 0x00);
const QColor kBodyBlue(0x00, 0x00, 0xFF);
constexpr int kQuestionBytes = 255;   // the submission's 256-byte buffer with its NUL

QLabel* SentenceLabel(const QString& text, QWidget* parent, bool link = false)
{
    auto* label = new QLabel(text, parent);
    label->setFont(skin::SkinFont(13));
    label->setStyleSheet(link ? QStringLiteral("color:#0000FF; text-decoration:underline")
                              : QStringLiteral("color:#3C2B17"));
    if (link)
        label->setCursor(Qt::PointingHandCursor);
    label->adjustSize();
    return label;
}

TPNGButton* CaptionButton(const QString& caption, int w, int h, const QString& hint, QWidget* parent)
{
    auto* button = new TPNGButton(parent);
    button->SetPngImg(skin::ButtonStrip(w, h, 4, caption));
    button->SetHint(hint);
    return button;
}

} // namespace

THelpTextView::THelpTextView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    m_bar = new TSkinScrollBar(this);
    m_bar->hide();
    connect(m_bar, &QScrollBar::valueChanged, this, [this](int value) {
        m_scroll.ScrollTo(value);
        update();
    });
}

int THelpTextView::VisibleLines() const
{
    return std::max(1, (height() - HelpTopMargin(m_tab) - kHelpBottomMargin) / kHelpLineHeight);
}

void THelpTextView::ShowEntries(int tab, const std::vector<CS_TextRecord>& entries, bool switching)
{
    // The user's place in the tab outlives the rebuild.
    m_scroll.Store(m_tab, m_lines);
    if (switching)
        m_tab = tab;
    Rebuild(entries);
}

void THelpTextView::Rebuild(const std::vector<CS_TextRecord>& entries)
{
    m_entries = entries;
    const QFontMetrics metrics(skin::SkinFont(11));
    m_lines = BuildHelpLines(m_entries, m_tab, WrapWidth(), [&metrics](QChar c) { return metrics.horizontalAdvance(c); });
    m_scroll.Restore(m_tab, m_lines, VisibleLines());
    SyncBar();
    update();
}

void THelpTextView::SyncBar()
{
    m_bar->setGeometry(width() - 1 - m_bar->sizeHint().width(), 1, m_bar->sizeHint().width(), height() - 2);
    m_bar->setVisible(m_scroll.Scrollable());
    QSignalBlocker block(m_bar);
    m_bar->setRange(0, m_scroll.LastPosition());
    m_bar->setPageStep(m_scroll.Visible());
    m_bar->setSingleStep(1);
    m_bar->setValue(m_scroll.First());
}

std::vector<HelpLine> THelpTextView::ShownLines() const
{
    const int from = m_scroll.First();
    const int to = std::min(static_cast<int>(m_lines.size()), from + VisibleLines() + 1);
    return {m_lines.begin() + from, m_lines.begin() + std::max(from, to)};
}

void THelpTextView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::kPaper);
    p.setPen(kFrame);
    p.drawRect(0, 0, width() - 1, height() - 1);
    if (m_lines.empty())
        return;
    const bool questions = m_tab == kTabQnA || m_tab == kTabFeedback;
    QFont font = skin::SkinFont(11);
    QColor colour = kTitleRed;
    int y = HelpTopMargin(m_tab);
    const int right = width() - kHelpRightMargin;
    for (const HelpLine& line : ShownLines()) {
        if (line.kind == kLineTitle) {
            colour = kTitleRed;
            font.setBold(questions);
        } else if (line.kind == kLineBody) {
            colour = kBodyBlue;
            font.setBold(false);
        }
        p.setFont(font);
        p.setPen(colour);
        const QString prefix = HelpPrefix(m_tab, line.kind);
        if (!prefix.isEmpty())
            p.drawText(QRect(kHelpLeftMargin, y, kHelpTextIndent, kHelpLineHeight), Qt::AlignLeft | Qt::AlignVCenter, prefix);
        const int x = kHelpLeftMargin + kHelpTextIndent;
        p.drawText(QRect(x, y, right - x + kHelpRightMargin / 2, kHelpLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   line.text);
        y += kHelpLineHeight;
    }
}

void THelpTextView::resizeEvent(QResizeEvent*)
{
    m_scroll.Store(m_tab, m_lines);
    m_scroll.ForgetLines();
    Rebuild(m_entries);
    emit resized();
}

void THelpTextView::wheelEvent(QWheelEvent* event)
{
    if (!m_bar->isVisible())
        return;
    const int notches = event->angleDelta().y() / 120;
    m_scroll.ScrollTo(m_scroll.First() - notches);
    SyncBar();
    update();
}

void THelpTextView::mousePressEvent(QMouseEvent*) { setFocus(); }

void THelpTextView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up: m_scroll.LineUp(); break;
    case Qt::Key_Down: m_scroll.LineDown(); break;
    case Qt::Key_PageUp: m_scroll.PageUp(); break;
    case Qt::Key_PageDown: m_scroll.PageDown(); break;
    case Qt::Key_Home: m_scroll.Top(); break;
    case Qt::Key_End: m_scroll.Bottom(); break;
    default: QWidget::keyPressEvent(event); return;
    }
    SyncBar();
    update();
}

THelpForm::THelpForm(TMainForm& form, AppSession& session, QWidget* parent)
    : TScreenPage(parent), m_form(form), m_session(session)
{
    const char* const captions[kHelpTabCount] = {"常见问题", "我要提问", "网站公告", "个人空间消息"};
    const char* const hints[kHelpTabCount] = {"常见问题", "我要提问", "Lumio网站公告", "Lumio网个人空间消息"};
    for (int i = 0; i < kHelpTabCount; ++i) {
        TPNGButton* tab = CaptionButton(QString::fromUtf8(captions[i]), 120, 30, QString::fromUtf8(hints[i]), this);
        connect(tab, &TPNGButton::clicked, this, [this, i] { ShowTab(i); });
        m_tabButtons[static_cast<size_t>(i)] = tab;
    }
    m_pbPublicNoticeNum = new QWidget(this);
    m_pbUserNoticeNum = new QWidget(this);
    for (QWidget* badge : {m_pbPublicNoticeNum, m_pbUserNoticeNum}) {
        badge->resize(20, 20);
        badge->setAttribute(Qt::WA_TransparentForMouseEvents);
        badge->installEventFilter(this);
        badge->hide();
    }

    m_panelShow = m_view = new THelpTextView(this);

    m_memMsg = new QPlainTextEdit(m_view);
    m_memMsg->setFont(skin::SkinFont(13));
    m_memMsg->viewport()->installEventFilter(this);
    m_memMsg->installEventFilter(this);
    connect(m_memMsg, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_placeholder)
            KeepWithinBytes(m_memMsg, kQuestionBytes);
        UpdateSubmit();
    });
    m_btnSubmit = CaptionButton(QStringLiteral("提交"), 72, 28, QStringLiteral("提交问题"), m_view);
    connect(m_btnSubmit, &TPNGButton::clicked, this, &THelpForm::SubmitQuestion);

    m_lblMsgHead = SentenceLabel(QStringLiteral("您有"), m_view);
    m_lblMsgNum = SentenceLabel(QStringLiteral("0"), m_view);
    m_lblMsgNum->setStyleSheet(QStringLiteral("color:#FF0000"));
    m_lblMsgMiddle = SentenceLabel(QStringLiteral("条未读消息，请"), m_view);
    m_lblMsgURL = SentenceLabel(QStringLiteral("进入个人空间"), m_view, true);
    m_lblMsgTail = SentenceLabel(QStringLiteral("查阅。"), m_view);
    m_lblMsgURL->installEventFilter(this);

    m_lblUrl = SentenceLabel({}, this, true);
    m_lblUrl->installEventFilter(this);
    m_btnPrevStep = CaptionButton(QStringLiteral("返回"), 72, 28, QStringLiteral("返回"), this);
    m_btnHelp = CaptionButton(QStringLiteral("用户手册"), 72, 28, QStringLiteral("打开帮助文件"), this);
    m_btnMore = CaptionButton(QStringLiteral("更多软件"), 72, 28, QStringLiteral("更多软件"), this);
    m_btnAbout = CaptionButton(QStringLiteral("关于"), 72, 28, QStringLiteral("关于..."), this);
    const MDP_Window main = WindowHandle(&m_form);
    connect(m_btnPrevStep, &TPNGButton::clicked, this, [this, main] {
        MDP_PostMessage(main, UM_GOTO_STEP, openedFrom >= 0 && openedFrom != kHelpPage ? openedFrom : 1, 0);
    });
    connect(m_btnHelp, &TPNGButton::clicked, this, [main] { MDP_PostMessage(main, UM_MANUAL, 0, 0); });
    connect(m_btnMore, &TPNGButton::clicked, this, [main] { MDP_PostMessage(main, UM_MORE_SOFTWARE, 0, 0); });
    connect(m_btnAbout, &TPNGButton::clicked, this, [main] { MDP_PostMessage(main, UM_ABOUT, 0, 0); });

    resize(TMainForm::kWidth, TMainForm::kHeight - TMainForm::kBandHeight);
    ShowTab(kTabQnA);
}

int32_t THelpForm::UserId() const
{
    return m_session.song.Flag(kFlagLoggedIn) ? m_session.user.userId : 0;
}

void THelpForm::Layout()
{
    const int w = width(), h = height();
    for (int i = 0; i < kHelpTabCount; ++i)
        m_tabButtons[static_cast<size_t>(i)]->move(20 + i * 126, 12);
    m_pbPublicNoticeNum->move(m_tabButtons[kTabPublicNotices]->geometry().topRight() + QPoint(-14, -6));
    m_pbUserNoticeNum->move(m_tabButtons[kTabUserNotices]->geometry().topRight() + QPoint(-14, -6));
    m_pbPublicNoticeNum->raise();
    m_pbUserNoticeNum->raise();
    m_view->setGeometry(20, 50, w - 40, h - 100);
    const int bottom = h - 40;
    int x = w - 20;
    for (TPNGButton* b : {m_btnAbout, m_btnMore, m_btnHelp, m_btnPrevStep}) {
        x -= b->width();
        b->move(x, bottom);
        x -= 8;
    }
    m_lblUrl->move(20, bottom + 5);

    m_memMsg->setGeometry(kHelpLeftMargin, 14, m_view->width() - kHelpLeftMargin - kHelpRightMargin, 100);
    m_btnSubmit->move(m_view->width() - kHelpRightMargin - m_btnSubmit->width(), 120);
    x = kHelpLeftMargin + kHelpTextIndent;
    for (QLabel* label : {m_lblMsgHead, m_lblMsgNum, m_lblMsgMiddle, m_lblMsgURL, m_lblMsgTail}) {
        label->adjustSize();
        label->move(x, 20);
        x += label->width() + 2;
    }
}

void THelpForm::resizeEvent(QResizeEvent*) { Layout(); }

void THelpForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, skin::PageBackground(width(), height()));
}

void THelpForm::EnterStep()
{
    m_lblUrl->setText(QString::fromStdString(m_session.webAddress));
    m_lblUrl->adjustSize();
    const bool loggedIn = m_session.song.Flag(kFlagLoggedIn);
    m_counts[0] = m_form.NoticeCount();
    m_counts[1] = loggedIn ? m_form.PersonalCount() : 0;
    m_tabButtons[kTabUserNotices]->setVisible(loggedIn);
    m_pbPublicNoticeNum->setVisible(m_counts[0] > 0 && CurrentTab() != kTabPublicNotices);
    m_pbUserNoticeNum->setVisible(loggedIn && m_counts[1] > 0);
    int tab = CurrentTab();
    if (noticesWanted) {
        noticesWanted = false;
        tab = loggedIn && m_counts[1] > 0 ? kTabUserNotices : kTabPublicNotices;
    }
    if (tab == kTabUserNotices && !loggedIn)
        tab = kTabQnA;
    ShowTab(tab);
    m_view->setFocus();
}

void THelpForm::ShowTab(int tab)
{
    if (tab < 0 || tab >= kHelpTabCount)
        return;
    for (int i = 0; i < kHelpTabCount; ++i)
        m_tabButtons[static_cast<size_t>(i)]->SetDown(i == tab);
    if (tab == kTabPublicNotices) {
        m_counts[0] = 0;
        m_pbPublicNoticeNum->hide();
    }
    if (tab == kTabUserNotices)
        m_lblMsgNum->setText(QString::number(m_counts[1]));
    if (tab == kTabFeedback && (m_memMsg->toPlainText().isEmpty() || m_placeholder))
        ShowPlaceholder();
    m_view->ShowEntries(tab, FetchHelpEntries(tab, UserId()), tab != m_view->Tab());
    ShowSentence();
    m_memMsg->setVisible(tab == kTabFeedback);
    m_btnSubmit->setVisible(tab == kTabFeedback);
    UpdateSubmit();
    Layout();
    if (tab == kTabPublicNotices)
        // The notices are read now: the window's badge follows.
        MDP_PostMessage(WindowHandle(&m_form), UM_SERVICE_EVENT, intptr_t(kReplyNoticeCount) << 16, 0);
}

void THelpForm::ShowSentence()
{
    const bool show = CurrentTab() == kTabUserNotices && m_counts[1] > 0;
    for (QLabel* label : {m_lblMsgHead, m_lblMsgNum, m_lblMsgMiddle, m_lblMsgURL, m_lblMsgTail})
        label->setVisible(show);
}

void THelpForm::RefreshView() { m_view->ShowEntries(CurrentTab(), FetchHelpEntries(CurrentTab(), UserId()), false); }

void THelpForm::NoticeCountChanged(int count, int which)
{
    // The personal count follows a login: its tab comes with it.
    m_tabButtons[kTabUserNotices]->setVisible(m_session.song.Flag(kFlagLoggedIn));
    SetNoticeCount(count, which);
}

void THelpForm::SetNoticeCount(int count, int which)
{
    if (which != 0 && which != 1)
        return;
    if (m_counts[static_cast<size_t>(which)] == count)
        return;
    m_counts[static_cast<size_t>(which)] = count;
    if (which == 0) {
        if (CurrentTab() != kTabPublicNotices) {
            m_pbPublicNoticeNum->setVisible(count > 0);
            m_pbPublicNoticeNum->update();
        }
        return;
    }
    m_pbUserNoticeNum->setVisible(count > 0 && m_session.song.Flag(kFlagLoggedIn));
    m_pbUserNoticeNum->update();
    if (CurrentTab() == kTabUserNotices) {
        m_lblMsgNum->setText(QString::number(count));
        ShowSentence();
        Layout();
        RefreshView();
    }
}

int THelpForm::NoticeCount(int which) const
{
    if (which < 0)
        return m_counts[0] + m_counts[1];
    return which <= 1 ? m_counts[static_cast<size_t>(which)] : 0;
}

void THelpForm::ShowPlaceholder()
{
    QSignalBlocker block(m_memMsg);
    m_placeholder = true;
    m_memMsg->setPlainText(QStringLiteral("请在此处输入您的问题"));
    m_memMsg->setStyleSheet(QStringLiteral("color:#808080"));
}

void THelpForm::UpdateSubmit()
{
    m_btnSubmit->SetEnabled(!m_placeholder && !m_memMsg->toPlainText().trimmed().isEmpty());
}

void THelpForm::SubmitQuestion()
{
    if (m_placeholder)
        return;
    const QString text = m_memMsg->toPlainText().trimmed();
    if (text.isEmpty())
        return;
    ProgressOperation op;
    op.code = kOpSubmitQuestion;
    op.userId = UserId();
    op.text = text.toUtf8().toStdString();
    const OnlineOutcome outcome = RunOnlineOperation(&m_form, m_session, std::move(op));
    if (outcome.cancelled)
        return;
    if (outcome.code != CS_OK) {
        ShowMessageBox(QStringLiteral("由于网络故障，信息提交失败。\n请稍后重试!"), 16);
        return;
    }
    RefreshView();
    m_memMsg->clear();
}

void THelpForm::PaintBadge(QWidget* badge, int count)
{
    QPainter p(badge);
    const int size = badge->height();
    p.drawPixmap(0, 0, skin::NoticeBadge(size), 0, 0, size, size);
    p.setFont(skin::SkinFont(11, true));
    p.setPen(Qt::white);
    const QString text = QString::number(count);
    const QFontMetrics metrics(p.font());
    const int x = static_cast<int>((size - metrics.horizontalAdvance(text)) * 0.5 + 0.5);
    const int y = static_cast<int>((size - metrics.height()) * 0.5);
    p.drawText(x, y + metrics.ascent(), text);
}

bool THelpForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && (watched == m_pbPublicNoticeNum || watched == m_pbUserNoticeNum)) {
        PaintBadge(static_cast<QWidget*>(watched), m_counts[watched == m_pbPublicNoticeNum ? 0 : 1]);
        return true;
    }
    if (m_memMsg && ((watched == m_memMsg->viewport() && event->type() == QEvent::MouseButtonPress) ||
        (watched == m_memMsg && event->type() == QEvent::FocusIn))) {
        if (m_placeholder) {
            QSignalBlocker block(m_memMsg);
            m_placeholder = false;
            m_memMsg->clear();
            ForgetTypedText(m_memMsg);
            m_memMsg->setStyleSheet(QStringLiteral("color:#000000"));
            UpdateSubmit();
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_lblMsgURL) {
            m_form.OpenWebPage(4);
            return true;
        }
        if (watched == m_lblUrl && !m_lblUrl->text().isEmpty()) {
            QDesktopServices::openUrl(QUrl(m_lblUrl->text()));
            return true;
        }
    }
    return TScreenPage::eventFilter(watched, event);
}

} // namespace melodrift
