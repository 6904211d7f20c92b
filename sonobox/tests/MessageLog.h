#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "MelodriftPlatform.h"

namespace melodrift::sonobox::test {

struct PostedMessage {
    MDP_Window window;
    std::uint32_t message;
    intptr_t wParam;
    intptr_t lParam;
};

// Installs itself as the message dispatcher and queues every posted message,
// the way a window's message queue would.
class MessageLog {
public:
    MessageLog() { MDP_SetMessageDispatcher(&MessageLog::Post, nullptr, this); }
    ~MessageLog() { MDP_SetMessageDispatcher(nullptr, nullptr, nullptr); }

    // Waits for the next message with this number (earlier others are kept).
    std::optional<PostedMessage> WaitFor(std::uint32_t message, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        std::unique_lock<std::mutex> guard(m_lock);
        std::optional<PostedMessage> found;
        m_wake.wait_for(guard, timeout, [&] {
            for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
                if (it->message == message) {
                    found = *it;
                    m_queue.erase(it);
                    return true;
                }
            return false;
        });
        return found;
    }

    std::size_t Count(std::uint32_t message)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        std::size_t n = 0;
        for (const auto& m : m_queue)
            n += m.message == message;
        return n;
    }

    // Called on the posting thread for every message (before it is queued).
    void (*onPost)(const PostedMessage&, void*) = nullptr;
    void* onPostContext = nullptr;

private:
    static int Post(MDP_Window window, std::uint32_t message, intptr_t wParam, intptr_t lParam, void* context)
    {
        auto* self = static_cast<MessageLog*>(context);
        PostedMessage posted{window, message, wParam, lParam};
        if (self->onPost)
            self->onPost(posted, self->onPostContext);
        {
            std::lock_guard<std::mutex> guard(self->m_lock);
            self->m_queue.push_back(posted);
        }
        self->m_wake.notify_all();
        return 1;
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<PostedMessage> m_queue;
};

} // namespace melodrift::sonobox::test
