#pragma once

// Installs itself as the platform's message dispatcher and keeps every
// posted message, the way a window's message queue would. Any thread posts;
// the test waits.

#include "MelodriftPlatform.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace melodrift::testsupport {

struct PostedMessage {
    MDP_Window window;
    std::uint32_t message;
    intptr_t wParam;
    intptr_t lParam;
};

class PostedMessages {
public:
    PostedMessages();
    ~PostedMessages();
    PostedMessages(const PostedMessages&) = delete;
    PostedMessages& operator=(const PostedMessages&) = delete;

    // Waits for the next message with this number and takes it out (earlier
    // others stay queued).
    std::optional<PostedMessage> WaitFor(std::uint32_t message,
                                         std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Waits until some queued message matches; it stays queued.
    std::optional<PostedMessage> WaitUntil(const std::function<bool(const PostedMessage&)>& match,
                                           std::chrono::milliseconds timeout = std::chrono::seconds(5));
    std::size_t Count(std::uint32_t message) const;
    std::vector<PostedMessage> To(MDP_Window window) const;
    std::vector<PostedMessage> Snapshot() const;
    // Everything queued so far, leaving the queue empty.
    std::vector<PostedMessage> Take();

    // Called on the posting thread for every message, before it is queued.
    std::function<void(const PostedMessage&)> onPost;

private:
    static int Post(MDP_Window window, std::uint32_t message, intptr_t wParam, intptr_t lParam, void* context);

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<PostedMessage> m_queue;
};

} // namespace melodrift::testsupport
