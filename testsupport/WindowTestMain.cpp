// The main of every window test: without a display the offscreen platform is
// chosen before Qt starts, also when the test runner only lists the tests.
#include <QApplication>
#include <QThreadPool>
#include <cstdlib>
#include <gtest/gtest.h>

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
