#include "MelodriftPlatform.h"

#include <mutex>

namespace {

struct Dispatcher {
    std::mutex lock;
    MDP_PostFn post = nullptr;
    MDP_SendFn send = nullptr;
    void* context = nullptr;
};

Dispatcher& dispatcher()
{
    static Dispatcher d;
    return d;
}

} // namespace

extern "C" {

void MDP_SetMessageDispatcher(MDP_PostFn post, MDP_SendFn send, void* context)
{
    Dispatcher& d = dispatcher();
    std::lock_guard<std::mutex> guard(d.lock);
    d.post = post;
    d.send = send;
    d.context = context;
}

int MDP_PostMessage(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam)
{
    Dispatcher& d = dispatcher();
    MDP_PostFn post;
    void* context;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        post = d.post;
        context = d.context;
    }
    if (post == nullptr || window == nullptr)
        return 0;
    return post(window, message, wParam, lParam, context) != 0 ? 1 : 0;
}

intptr_t MDP_SendMessage(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam)
{
    Dispatcher& d = dispatcher();
    MDP_SendFn send;
    void* context;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        send = d.send;
        context = d.context;
    }
    // Called without the lock held: a send may post further messages.
    if (send == nullptr || window == nullptr)
        return 0;
    return send(window, message, wParam, lParam, context);
}

} // extern "C"
