#include "TSplashForm.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "SkinArt.h"

namespace melodrift {

TSplashForm::TSplashForm(const QString& version, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_picture(skin::SplashPicture(version))
{
    setFixedSize(m_picture.size());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSplashForm::paintEvent(QPaintEvent*)
{
    QPainter(this).drawPixmap(0, 0, m_picture);
}

} // namespace melodrift
