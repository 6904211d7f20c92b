#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace melodrift {

// An event that lets exactly one waiter through per Set and then closes again.
class AutoResetEvent {
public:
    explicit AutoResetEvent(bool signalled = false) : m_signalled(signalled) {}

    void Set()
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_signalled = true;
        }
        m_wake.notify_one();
    }

    // Returns true when the event was taken, false on time-out.
    bool Wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> guard(m_lock);
        if (!m_wake.wait_for(guard, timeout, [this] { return m_signalled; }))
            return false;
        m_signalled = false;
        return true;
    }

    void Wait()
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_wake.wait(guard, [this] { return m_signalled; });
        m_signalled = false;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_signalled;
};

} // namespace melodrift
