#include "InstanceLink.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace melodrift {

namespace {

// One request: a command byte ('A' activate, 'O' open) and, for open, the
// whole path as a length-prefixed UTF-16 string. The answer is one byte.
constexpr char kActivate = 'A';
constexpr char kOpen = 'O';
constexpr char kDone = '1';

bool Request(QLocalSocket& socket, char command, const QString& path, int timeoutMs)
{
    QByteArray packet;
    QDataStream out(&packet, QIODevice::WriteOnly);
    out << static_cast<qint8>(command);
    if (command == kOpen)
        out << path;
    socket.write(packet);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == kDone;
}

} // namespace

QString InstanceSocketName()
{
    // Separate runs (tests) may choose their own name.
    const QString own = qEnvironmentVariable("MELODRIFT_INSTANCE");
    return own.isEmpty() ? QStringLiteral("Melodrift-%1").arg(getuid()) : own;
}

bool HandOverToRunningInstance(const QString& socketName, const QString& path, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // An instance answered: whatever happens to the hand-over, this start ends.
    if (Request(socket, kActivate, {}, timeoutMs) && !path.isEmpty())
        Request(socket, kOpen, path, timeoutMs);
    socket.disconnectFromServer();
    return true;
}

TInstanceLink::TInstanceLink(std::function<void()> activate, std::function<void(const QString&)> open,
                             QObject* parent)
    : QObject(parent), m_activate(std::move(activate)), m_open(std::move(open)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TInstanceLink::Serve);
}

bool TInstanceLink::Listen(const QString& socketName)
{
    // Listening replaces a socket file of the same name, so ask first whether
    // an instance answers on it.
    QLocalSocket probe;
    probe.connectToServer(socketName);
    if (probe.waitForConnected(500))
        return false;
    if (m_server->listen(socketName))
        return true;
    // A socket file left by a crashed instance.
    QLocalServer::removeServer(socketName);
    return m_server->listen(socketName);
}

void TInstanceLink::Serve()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Paths are short; a peer that sends more is not a hand-over.
            if (socket->bytesAvailable() > 1 << 20) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            for (;;) {
                in.startTransaction();
                qint8 command = 0;
                QString path;
                in >> command;
                if (command == kOpen)
                    in >> path;
                if (!in.commitTransaction())
                    return;
                if (command == kActivate && m_activate)
                    m_activate();
                else if (command == kOpen && m_open)
                    m_open(path);
                else {
                    socket->abort();
                    return;
                }
                socket->putChar(kDone);
            }
        });
    }
}

} // namespace melodrift
