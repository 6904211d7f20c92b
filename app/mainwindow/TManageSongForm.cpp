#include "TManageSongForm.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include "EngineTables.h"
#include "MainLogic.h"
#include "SkinArt.h"
#include "TPNGButton.h"

namespace melodrift {

QrSymbol EncodeQr(const std::string& text)
{
    QrSymbol symbol;
    const auto encode = Engines().qr.QR_Encode;
    if (encode == nullptr)
        return symbol;
    symbol.modules.assign(10000, 0);
    const int side = encode(text.c_str(), symbol.modules.data(), static_cast<int32_t>(symbol.modules.size()));
    // A side whose modules would not fit the buffer is no symbol.
    if (side <= 0 || static_cast<size_t>(side) * static_cast<size_t>(side) > symbol.modules.size()) {
        symbol.modules.clear();
        return symbol;
    }
    symbol.side = side;
    symbol.modules.resize(static_cast<size_t>(side) * side);
    return symbol;
}

TQrPanel::TQrPanel(QWidget* parent) : QWidget(parent) { setFixedSize(100, 100); }

void TQrPanel::SetSymbol(QrSymbol symbol)
{
    m_symbol = std::move(symbol);
    update();
}

void TQrPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(rect(), Qt::white);
    p.setPen(QColor(0x91, 0x9C, 0xAA));
    p.drawRect(0, 0, w - 1, h - 1);
    p.setPen(QColor(0x6B, 0x73, 0x7E));
    for (const QPoint& corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        p.drawPoint(corner);
    const int module = QrModuleSize(w, m_symbol.side);
    if (module <= 0)
        return;   // no symbol: an empty white panel
    const int left = (w - module * m_symbol.side) / 2;
    const int top = (h - module * m_symbol.side) / 2;
    for (int y = 0; y < m_symbol.side; ++y)
        for (int x = 0; x < m_symbol.side; ++x)
            if (m_symbol.Dark(x, y))
                p.fillRect(left + x * module, top + y * module, module, module, Qt::black);
}

TManageSongForm::TManageSongForm(int32_t songId, QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(300, 131);
    setWindowTitle(QStringLiteral("歌曲上传"));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(150, 65));

    m_lblMessage = new QLabel(this);
    m_lblMessage->setFont(skin::SkinFont(13));
    m_lblMessage->setStyleSheet(QStringLiteral("color:#3C2B17"));
    m_lblMessage->setGeometry(16, 30, 268, 60);
    m_lblMessage->setAlignment(Qt::AlignCenter);
    m_lblLink = new QLabel(QStringLiteral("前往个人空间"), this);
    m_lblLink->setFont(skin::SkinFont(13));
    m_lblLink->setStyleSheet(QStringLiteral("color:#0000FF; text-decoration:underline"));
    m_lblLink->setCursor(Qt::PointingHandCursor);
    m_lblLink->setGeometry(110, 98, 100, 20);
    m_lblLink->installEventFilter(this);
    auto* close = new TPNGButton(this);
    close->SetPngImg(skin::ButtonStrip(18, 18, 4, {}, skin::Glyph::Close));
    close->move(276, 3);
    connect(close, &TPNGButton::clicked, this, [this] { done(2); });

    if (songId < 0) {
        m_lblMessage->setText(QStringLiteral("您上传的未发布歌曲数量已达上限,\n\n请进入网站处理。"));
        return;
    }
    m_lblMessage->setText(QStringLiteral("歌曲已成功上传\n\n请进入空间修改和分享"));
    const auto getUrl = Engines().cs.CS_GetWebPageURL;
    if (songId == 0 || getUrl == nullptr || Engines().qr.QR_Encode == nullptr)
        return;
    char url[CS_WEB_URL_CAPACITY] = "";
    if (getUrl(6, url) != 0)
        return;
    url[sizeof url - 1] = '\0';
    QrSymbol symbol = EncodeQr(std::string(url) + std::to_string(songId));
    if (symbol.side == 0)
        return;   // nothing to show: keep the plain success form
    m_lblMessage->setGeometry(16, 30, 150, 60);
    m_lblLink->move(72, 98);
    m_qr = new TQrPanel(this);
    m_qr->move(192, 26);
    m_qr->SetSymbol(std::move(symbol));
}

void TManageSongForm::FollowLink()
{
    char url[CS_WEB_URL_CAPACITY] = "";
    if (Engines().cs.CS_GetWebPageURL && Engines().cs.CS_GetWebPageURL(2, url) == 0 && url[0] != '\0')
        QDesktopServices::openUrl(QUrl(QString::fromUtf8(url)));
    done(1);
}

void TManageSongForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        FollowLink();
    else if (event->key() == Qt::Key_Escape)
        done(2);
}

void TManageSongForm::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && at.y() < 24 && at.x() > 10 && at.x() < width() - 20 && windowHandle())
        windowHandle()->startSystemMove();
}

void TManageSongForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, skin::DialogBackground(width(), height()));
    p.setPen(skin::kInk);
    p.setFont(skin::SkinFont(12, true));
    p.drawText(QRect(12, 2, 200, 20), Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
}

bool TManageSongForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lblLink && event->type() == QEvent::MouseButtonPress) {
        FollowLink();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace melodrift
