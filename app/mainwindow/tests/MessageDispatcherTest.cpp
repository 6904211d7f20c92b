#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "MessageDispatcher.h"

using namespace melodrift;

namespace {

class Target : public QObject, public TMessageTarget {
public:
    Target() { RegisterMessageTarget(this, this); }
    ~Target() override { UnregisterMessageTarget(this); }
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override
    {
        onGuiThread = QThread::currentThread() == thread();
        last = {message, wParam, lParam};
        ++count;
        return wParam + lParam;
    }
    bool event(QEvent* e) override { return DeliverMessageEvent(this, e) || QObject::event(e); }

    struct Seen {
        uint32_t message;
        intptr_t wParam, lParam;
    } last{};
    int count = 0;
    bool onGuiThread = false;
};

} // namespace

TEST(MessageDispatcher, PostsQueueSendsAnswerFromAnyThread)
{
    InstallMessageDispatcher();
    Target target;
    EXPECT_EQ(MDP_PostMessage(WindowHandle(&target), UM_GOTO_STEP, 3, 9), 1);
    EXPECT_EQ(target.count, 0) << "a post waits for the event loop";
    QCoreApplication::processEvents();
    EXPECT_EQ(target.count, 1);
    EXPECT_EQ(target.last.message, static_cast<uint32_t>(UM_GOTO_STEP));
    EXPECT_EQ(target.last.lParam, 9);

    // Same thread: answered at once.
    EXPECT_EQ(MDP_SendMessage(WindowHandle(&target), UM_OPEN_FILE, 2, 3), 5);

    // Another thread: runs on the window's thread and waits for the answer.
    std::atomic<intptr_t> answer{-1};
    std::thread worker([&] { answer = MDP_SendMessage(WindowHandle(&target), UM_ACTIVATE_INSTANCE, 40, 2); });
    while (answer == -1)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_EQ(answer, 42);
    EXPECT_TRUE(target.onGuiThread);
}

TEST(MessageDispatcher, WindowsThatAreGoneReceiveNothing)
{
    InstallMessageDispatcher();
    MDP_Window gone = nullptr;
    {
        Target target;
        gone = WindowHandle(&target);
        EXPECT_EQ(MDP_PostMessage(gone, UM_NEW_PROJECT, 0, 0), 1);
    }   // destroyed with the post still queued
    QCoreApplication::processEvents();
    EXPECT_EQ(MDP_PostMessage(gone, UM_NEW_PROJECT, 0, 0), 0);
    EXPECT_EQ(MDP_SendMessage(gone, UM_NEW_PROJECT, 1, 1), 0);
    int local = 0;
    EXPECT_EQ(MDP_PostMessage(&local, UM_NEW_PROJECT, 0, 0), 0) << "not a registered window";
}
