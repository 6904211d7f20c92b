// Takes the place of the desktop's browser in tests: remembers the web
// addresses the program opens.
#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

namespace melodrift::test {

class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    TUrlCatcher()
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
    }
    ~TUrlCatcher() override
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls << url; }
};

} // namespace melodrift::test
