#include "MelodriftPlatform.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct Seen {
    MDP_Window window;
    uint32_t message;
    intptr_t wParam;
    intptr_t lParam;
};

int recordPost(MDP_Window w, uint32_t m, intptr_t wp, intptr_t lp, void* ctx)
{
    static_cast<std::vector<Seen>*>(ctx)->push_back({w, m, wp, lp});
    return 1;
}

intptr_t answerSend(MDP_Window, uint32_t m, intptr_t wp, intptr_t lp, void*)
{
    return static_cast<intptr_t>(m) + wp + lp;
}

TEST(Messages, WithoutDispatcherNothingIsDelivered)
{
    MDP_SetMessageDispatcher(nullptr, nullptr, nullptr);
    int window = 0;
    EXPECT_EQ(MDP_PostMessage(&window, 0x530, 1, 2), 0);
    EXPECT_EQ(MDP_SendMessage(&window, 0x530, 1, 2), 0);
}

TEST(Messages, DispatcherReceivesPostsFromOtherThreads)
{
    std::vector<Seen> seen;
    MDP_SetMessageDispatcher(recordPost, answerSend, &seen);
    int window = 0;
    std::thread worker([&] { EXPECT_EQ(MDP_PostMessage(&window, 0x515, 7, -3), 1); });
    worker.join();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, &window);
    EXPECT_EQ(seen[0].message, 0x515u);
    EXPECT_EQ(seen[0].wParam, 7);
    EXPECT_EQ(seen[0].lParam, -3);
    EXPECT_EQ(MDP_SendMessage(&window, 0x100, 1, 2), 0x103);
    EXPECT_EQ(MDP_PostMessage(nullptr, 0x515, 0, 0), 0) << "no window, no delivery";
    MDP_SetMessageDispatcher(nullptr, nullptr, nullptr);
}

} // namespace
