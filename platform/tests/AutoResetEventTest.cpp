#include "AutoResetEvent.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

TEST(AutoResetEvent, LetsOneWaiterThroughPerSet)
{
    melodrift::AutoResetEvent event(true);
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_FALSE(event.Wait(10ms)) << "closed again after one waiter";
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(5s));
    setter.join();
    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_FALSE(event.Wait(0ms)) << "two sets before a wait count once";
}
