#include "TMessageForm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <cstdio>

#include "SkinArt.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 170;
constexpr int kButtonW = 96;
constexpr int kButtonH = 28;
constexpr int kButtonTop = kHeight - kButtonH - 14;

TMessageForm::Script& ScriptSlot()
{
    static TMessageForm::Script script = [] () -> TMessageForm::Script {
        const char* reply = std::getenv("MELODRIFT_MESSAGE_REPLY");
        if (reply == nullptr || *reply == '\0')
            return {};
        const int result = std::atoi(reply);
        return [result](const QString& text, int flags) {
            std::fprintf(stderr, "message %d: %s\n", flags, text.toUtf8().constData());
            std::fflush(stderr);
            return result;
        };
    }();
    return script;
}

TMessageForm* g_form = nullptr;

const QString kYes = QStringLiteral("是");
const QString kNo = QStringLiteral("否");

} // namespace

std::vector<int> MessageButtonLefts(int W, int w, int count)
{
    switch (count) {
    case 1: return {(W - w) / 2 + 6};
    case 2: {
        const int first = (W - 2 * w - 12) / 2 + 6;
        return {first, first + w + 6};
    }
    case 3: {
        const int yes = (W - 3 * w - 18) / 2 + 6;
        return {yes, yes + w + 6, yes + 2 * (w + 6)};
    }
    default: return {};
    }
}

void TMessageForm::SetScript(Script script) { ScriptSlot() = std::move(script); }

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Melodrift"));

    m_imgBk = new QLabel(this);
    m_imgBk->setPixmap(skin::DialogBackground(kWidth, kHeight));
    m_imgBk->setGeometry(0, 0, kWidth, kHeight);
    auto* title = new QLabel(QStringLiteral("Melodrift"), this);
    title->setGeometry(12, 2, 200, 20);
    title->setFont(skin::SkinFont(12, true));
    title->setStyleSheet(QStringLiteral("color:#3C2B17"));

    auto makeIcon = [this](int kind) {
        auto* icon = new QLabel(this);
        icon->setPixmap(skin::MessageIcon(kind, 36));
        icon->setGeometry(20, 48, 36, 36);
        return icon;
    };
    m_iconError = makeIcon(0x10);
    m_iconQuestion = makeIcon(0x20);
    m_iconInformation = makeIcon(0x40);

    m_lblMessage = new QLabel(this);
    m_lblMessage->setWordWrap(true);
    m_lblMessage->setFont(skin::SkinFont(14));
    m_lblMessage->setStyleSheet(QStringLiteral("color:#3C2B17"));
    m_lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto makeButton = [this](const QString& caption, int result) {
        auto* button = new TPNGButton(this);
        button->SetPngImg(skin::ButtonStrip(kButtonW, kButtonH, 4, caption));
        button->SetModalResult(result);
        return button;
    };
    m_btnYes = makeButton(kYes, kResultYes);
    m_btnOk = makeButton(QStringLiteral("确定"), kResultOk);
    m_btnNo = makeButton(kNo, kResultNo);
    m_btnCancel = makeButton(QStringLiteral("取消"), kResultCancel);

    m_pbCheck = new QWidget(this);
    m_pbCheck->setGeometry(20, kButtonTop - 26, 14, 14);
    m_pbCheck->installEventFilter(this);
    m_lblCheckMessage = new QLabel(QStringLiteral("不再提示"), this);
    m_lblCheckMessage->setFont(skin::SkinFont(12));
    m_lblCheckMessage->setGeometry(38, kButtonTop - 29, 100, 20);
    m_lblCheckMessage->installEventFilter(this);

    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, kWidth + 1, kHeight + 2), 10, 10);
    // The offscreen platform has no window shapes.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void TMessageForm::SetYesNoCaptions(const QString& yes, const QString& no)
{
    m_yesCaption = yes;
    m_noCaption = no;
    m_btnYes->SetPngImg(skin::ButtonStrip(kButtonW, kButtonH, 4, yes.isEmpty() ? kYes : yes));
    m_btnNo->SetPngImg(skin::ButtonStrip(kButtonW, kButtonH, 4, no.isEmpty() ? kNo : no));
}

void TMessageForm::CentreOn(QWidget* owner)
{
    const QRect area = owner ? owner->frameGeometry()
                             : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect());
    if (area.isValid())
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
}

void TMessageForm::Arrange(int flags)
{
    for (QWidget* w : {static_cast<QWidget*>(m_iconError), static_cast<QWidget*>(m_iconQuestion),
                       static_cast<QWidget*>(m_iconInformation), static_cast<QWidget*>(m_btnYes),
                       static_cast<QWidget*>(m_btnOk), static_cast<QWidget*>(m_btnNo),
                       static_cast<QWidget*>(m_btnCancel)})
        w->hide();
    QLabel* icon = nullptr;
    switch (flags & kMessageIconMask) {
    case kMessageIconError: icon = m_iconError; break;
    case kMessageIconQuestion: icon = m_iconQuestion; break;
    case kMessageIconInformation: icon = m_iconInformation; break;
    default: break;
    }
    if (icon)
        icon->show();

    std::vector<TPNGButton*> buttons;
    switch (flags & kMessageButtonMask) {
    case kMessageOkCancel: buttons = {m_btnOk, m_btnCancel}; break;
    case kMessageYesNoCancel: buttons = {m_btnYes, m_btnNo, m_btnCancel}; break;
    case kMessageYesNo: buttons = {m_btnYes, m_btnNo}; break;
    default: buttons = {m_btnOk}; break;
    }
    const std::vector<int> lefts = MessageButtonLefts(kWidth, kButtonW, static_cast<int>(buttons.size()));
    for (size_t i = 0; i < buttons.size(); ++i) {
        // The lefts count the frame's 6-pixel margin; the buttons sit inside it.
        buttons[i]->move(lefts[i] - 6, kButtonTop);
        buttons[i]->show();
    }

    const int check = flags & kMessageCheckMask;
    if (check == kMessageCheckOn)
        m_checked = true;
    else if (check == kMessageCheckOff)
        m_checked = false;
    m_pbCheck->setVisible(check != 0);
    m_lblCheckMessage->setVisible(check != 0);

    const int textLeft = icon ? 68 : 24;
    const int textBottom = check != 0 ? kButtonTop - 32 : kButtonTop - 6;
    m_lblMessage->setGeometry(textLeft, 28, kWidth - textLeft - 20, textBottom - 28);
}

int TMessageForm::ShowMessageBox(const QString& text, int flags)
{
    if (isVisible())
        return kResultRefused;
    Arrange(flags);
    m_lblMessage->setText(text);
    if (ScriptSlot())
        return ScriptSlot()(text, flags);
    return exec();
}

void TMessageForm::ToggleCheck()
{
    m_checked = !m_checked;
    m_pbCheck->update();
}

void TMessageForm::PaintCheck()
{
    QPainter p(m_pbCheck);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(skin::kInk);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.5, 0.5, 13, 13), 2, 2);
    if (m_checked) {
        p.setPen(QPen(skin::kInk, 2));
        p.drawPolyline(QPolygonF({QPointF(3, 7), QPointF(6, 10), QPointF(11, 3)}));
    }
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pbCheck && event->type() == QEvent::Paint) {
        PaintCheck();
        return true;
    }
    if ((watched == m_pbCheck || watched == m_lblCheckMessage) && event->type() == QEvent::MouseButtonPress) {
        ToggleCheck();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_btnYes->isVisibleTo(this))
            done(kResultYes);
        else if (m_btnOk->isVisibleTo(this))
            done(kResultOk);
        return;
    case Qt::Key_Escape:
        if (m_btnCancel->isVisibleTo(this))
            done(kResultCancel);
        return;
    case Qt::Key_N:
        if (m_btnNo->isVisibleTo(this))
            done(kResultNo);
        return;
    case Qt::Key_Y:
        if (m_btnYes->isVisibleTo(this))
            done(kResultYes);
        return;
    default: QDialog::keyPressEvent(event);
    }
}

TMessageForm* MessageForm() { return g_form; }
void SetMessageForm(TMessageForm* form) { g_form = form; }

int ShowMessageBox(const QString& text, int flags)
{
    if (g_form)
        return g_form->ShowMessageBox(text, flags);
    if (ScriptSlot())
        return ScriptSlot()(text, flags);
    TMessageForm form;
    form.CentreOn(nullptr);
    return form.ShowMessageBox(text, flags);
}

} // namespace melodrift
