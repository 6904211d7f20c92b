#pragma once

// One running program per user: the first start listens on a local socket,
// a later start hands its file path over and leaves.

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace melodrift {

// Per-user socket name.
QString InstanceSocketName();

// Asks a running instance to come to the front and, when path is not empty,
// to open it. True when an instance answered (the caller then exits with 0).
bool HandOverToRunningInstance(const QString& socketName, const QString& path, int timeoutMs = 3000);

class TInstanceLink : public QObject {
    Q_OBJECT
public:
    // activate brings the window to the front; open receives a handed path.
    TInstanceLink(std::function<void()> activate, std::function<void(const QString&)> open,
                  QObject* parent = nullptr);
    // False when another instance already listens under that name.
    bool Listen(const QString& socketName);

private:
    void Serve();

    std::function<void()> m_activate;
    std::function<void(const QString&)> m_open;
    QLocalServer* m_server;
};

} // namespace melodrift
