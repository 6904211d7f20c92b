#pragma once

// The picture shown while the libraries are bound.

#include <QWidget>

namespace melodrift {

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(const QString& version, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};

} // namespace melodrift
