#include "TUpdateForm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>

#include "SkinArt.h"
#include "TMainForm.h"
#include "TPNGButton.h"
#include "UpdateLogic.h"

namespace melodrift {

namespace {

constexpr int kDownloadPage = 3;

QPixmap FlagPicture(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3A, 0x9A, 0x4F));
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    p.setBrush(Qt::white);
    const double c = size / 2.0;
    p.drawPolygon(QPolygonF({QPointF(c, size * 0.2), QPointF(size * 0.75, c), QPointF(size * 0.6, c),
                             QPointF(size * 0.6, size * 0.78), QPointF(size * 0.4, size * 0.78),
                             QPointF(size * 0.4, c), QPointF(size * 0.25, c)}));
    return picture;
}

QLabel* TextLabel(QWidget* parent, int x, int y, int w, int h)
{
    auto* label = new QLabel(parent);
    label->setFont(skin::SkinFont(13));
    label->setStyleSheet(QStringLiteral("color:#3C2B17"));
    label->setGeometry(x, y, w, h);
    return label;
}

} // namespace

TUpdateForm::TUpdateForm(const CS_VersionRecord& announced, const QString& runningVersion, bool forced,
                         TMainForm* owner)
    : TAccountDialog(QStringLiteral("版本更新"), QSize(kWidth, kHeight), 10, owner), m_owner(owner)
{
    m_ImgFlag = new QLabel(this);
    m_ImgFlag->setGeometry(20, 36, 40, 40);
    m_ImgFlag->setPixmap(FlagPicture(40));
    m_lbNewVer = TextLabel(this, 72, 34, 290, 22);
    m_lbNewVer->setText(AnnouncedVersionText(announced));
    m_lbNewVer->setFont(skin::SkinFont(13, true));
    m_lbCurrentVer = TextLabel(this, 72, 56, 290, 22);
    m_lbCurrentVer->setText(RunningVersionText(runningVersion));

    m_lbUpdateMsg = new QListWidget(this);
    m_lbUpdateMsg->setGeometry(20, 86, kWidth - 40, 100);
    m_lbUpdateMsg->setFont(skin::SkinFont(12));
    m_lbUpdateMsg->setStyleSheet(QStringLiteral(
        "QListWidget{background:#FFFDF8;border:1px solid #C9A77E;color:#000000}"
        "QListWidget::item{padding-left:8px}"));
    m_lbUpdateMsg->addItems(ReleaseNoteLines(announced));

    m_lbDownloadMsg = TextLabel(this, 20, 192, kWidth - 40, 54);
    m_lbDownloadMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (forced) {
        m_lbDownloadMsg->setText(QStringLiteral("当前版本下，用户将无法进行登录\n账号和全曲操作，建议升级到最新\n版本。"));
        m_lbDownloadMsg->setStyleSheet(QStringLiteral("color:#FF0000"));
    } else {
        m_lbDownloadMsg->move(20, 197);
        m_lbDownloadMsg->setText(QStringLiteral("新的版本已发布,建议立即更新。"));
        m_lbDownloadMsg->setStyleSheet(QStringLiteral("color:#000000"));
    }

    m_lbDownload = TextLabel(this, kWidth - 100, kHeight - 30, 80, 22);
    m_lbDownload->setText(QStringLiteral("前往下载"));
    m_lbDownload->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lbDownload->setStyleSheet(QStringLiteral("color:#0000FF; text-decoration:underline"));
    m_lbDownload->setCursor(Qt::PointingHandCursor);
    m_lbDownload->installEventFilter(this);
}

void TUpdateForm::Download()
{
    if (m_owner)
        m_owner->OpenWebPage(kDownloadPage);
    accept();
}

void TUpdateForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Download(); return;
    case Qt::Key_Escape: reject(); return;
    default: TAccountDialog::keyPressEvent(event);
    }
}

bool TUpdateForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lbDownload && event->type() == QEvent::MouseButtonPress) {
        Download();
        return true;
    }
    return TAccountDialog::eventFilter(watched, event);
}

} // namespace melodrift
