// The main of every window test: without a display the offscreen platform is
// chosen before Qt starts, also when the test runner only lists the tests.
#include <QApplication>
#include <QThreadPool>
#include <cstdlib>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Now and then, under load, the leak checker reports one 152-byte object that
// Qt allocates for a thread of its own (a QThread's thread data, built inside
// libQt6Core with no frame of ours) and never frees by exit. Only the window
// tests link this file, so only their reports of Qt Core's own allocations
// are waived.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libQt6Core.so\n";
}
#endif

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    // Qt paints large areas on its global thread pool. Its threads are joined
    // here, while the application still runs, not by the exit handlers: there
    // the leak checker once caught one half torn down.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
