#include "PostedMessages.h"

namespace melodrift::testsupport {

PostedMessages::PostedMessages() { MDP_SetMessageDispatcher(&PostedMessages::Post, nullptr, this); }

PostedMessages::~PostedMessages() { MDP_SetMessageDispatcher(nullptr, nullptr, nullptr); }

int PostedMessages::Post(MDP_Window window, std::uint32_t message, intptr_t wParam, intptr_t lParam, void* context)
{
    auto* self = static_cast<PostedMessages*>(context);
    const PostedMessage posted{window, message, wParam, lParam};
    if (self->onPost)
        self->onPost(posted);
    {
        std::lock_guard<std::mutex> guard(self->m_lock);
        self->m_queue.push_back(posted);
    }
    self->m_wake.notify_all();
    return 1;
}

std::optional<PostedMessage> PostedMessages::WaitFor(std::uint32_t message, std::chrono::milliseconds timeout)
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

std::optional<PostedMessage> PostedMessages::WaitUntil(const std::function<bool(const PostedMessage&)>& match,
                                                       std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> guard(m_lock);
    std::optional<PostedMessage> found;
    m_wake.wait_for(guard, timeout, [&] {
        for (const PostedMessage& m : m_queue)
            if (match(m)) {
                found = m;
                return true;
            }
        return false;
    });
    return found;
}

std::size_t PostedMessages::Count(std::uint32_t message) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::size_t n = 0;
    for (const PostedMessage& m : m_queue)
        n += m.message == message;
    return n;
}

std::vector<PostedMessage> PostedMessages::To(MDP_Window window) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<PostedMessage> out;
    for (const PostedMessage& m : m_queue)
        if (m.window == window)
            out.push_back(m);
    return out;
}

std::vector<PostedMessage> PostedMessages::Snapshot() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return {m_queue.begin(), m_queue.end()};
}

std::vector<PostedMessage> PostedMessages::Take()
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<PostedMessage> out(m_queue.begin(), m_queue.end());
    m_queue.clear();
    return out;
}

} // namespace melodrift::testsupport
