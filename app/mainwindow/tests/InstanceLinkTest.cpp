#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <gtest/gtest.h>

#include "InstanceLink.h"

using namespace melodrift;

namespace {

QString UniqueName() { return QStringLiteral("melodrift-test-%1").arg(QCoreApplication::applicationPid()); }

// The hand-over blocks while the running side answers, so it runs on a thread.
bool HandOverFromThread(const QString& name, const QString& path)
{
    bool answered = false;
    QThread* thread = QThread::create([&] { answered = HandOverToRunningInstance(name, path); });
    thread->start();
    while (!thread->isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    thread->wait();
    delete thread;
    return answered;
}

} // namespace

TEST(InstanceLink, SecondStartBringsTheFirstForwardAndHandsItsWholePath)
{
    int activations = 0;
    QStringList opened;
    TInstanceLink link([&] { ++activations; }, [&](const QString& p) { opened << p; });
    ASSERT_TRUE(link.Listen(UniqueName()));

    EXPECT_TRUE(HandOverFromThread(UniqueName(), {}));
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(opened.isEmpty());

    const QString longPath = QStringLiteral("/tmp/") + QString(300, QChar(u'歌')) + QStringLiteral(".cpj");
    EXPECT_TRUE(HandOverFromThread(UniqueName(), longPath));
    EXPECT_EQ(activations, 2);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), longPath);

    TInstanceLink second({}, {});
    EXPECT_FALSE(second.Listen(UniqueName())) << "two instances must not both listen";
}

TEST(InstanceLink, NobodyListeningMeansThisIsTheFirstInstance)
{
    EXPECT_FALSE(HandOverToRunningInstance(UniqueName() + QStringLiteral("-none"), QStringLiteral("/x.cpj"), 200));
}

TEST(InstanceLink, GarbageFromAPeerIsRefused)
{
    int calls = 0;
    TInstanceLink link([&] { ++calls; }, [&](const QString&) { ++calls; });
    ASSERT_TRUE(link.Listen(UniqueName() + QStringLiteral("-junk")));
    QLocalSocket socket;
    socket.connectToServer(UniqueName() + QStringLiteral("-junk"));
    ASSERT_TRUE(socket.waitForConnected(1000));
    socket.write("Zjunk");
    socket.flush();
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (socket.state() == QLocalSocket::ConnectedState)
            socket.waitForDisconnected(10);
    }
    EXPECT_EQ(calls, 0);
    EXPECT_NE(socket.state(), QLocalSocket::ConnectedState);
}
