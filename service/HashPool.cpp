#include "HashPool.h"

#include <exception>
#include <utility>

namespace melodrift::service {

HashPool::HashPool(int workers, size_t queueLimit, std::function<void()> wake)
    : m_wake(std::move(wake)), m_limit(queueLimit)
{
    for (int i = 0; i < workers; ++i)
        m_threads.emplace_back([this] { Work(); });
}

HashPool::~HashPool()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_ready.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

bool HashPool::Submit(HashJob job, bool urgent)
{
    {
        std::lock_guard lock(m_lock);
        std::deque<HashJob>& queue = urgent ? m_urgent : m_queue;
        if (queue.size() >= m_limit)
            return false;
        queue.push_back(std::move(job));
    }
    m_ready.notify_one();
    return true;
}

std::vector<HashJob> HashPool::TakeFinished()
{
    std::lock_guard lock(m_lock);
    return std::exchange(m_finished, {});
}

size_t HashPool::Queued(bool urgent)
{
    std::lock_guard lock(m_lock);
    return urgent ? m_urgent.size() : m_queue.size();
}

void HashPool::Run(HashJob& job)
{
    try {
        if (job.kind == HashJob::Kind::Create)
            job.stored = HashDigest(job.digest, job.iterations);
        else
            job.matched = VerifyDigest(job.digest, job.stored) && job.userId != 0;
    } catch (const std::exception&) {
        job.failed = true;
    }
}

void HashPool::Work()
{
    for (;;) {
        HashJob job;
        {
            std::unique_lock lock(m_lock);
            m_ready.wait(lock, [this] { return m_stop || !m_urgent.empty() || !m_queue.empty(); });
            if (m_stop)
                return;
            std::deque<HashJob>& queue = m_urgent.empty() ? m_queue : m_urgent;
            job = std::move(queue.front());
            queue.pop_front();
        }
        Run(job);
        {
            std::lock_guard lock(m_lock);
            m_finished.push_back(std::move(job));
        }
        if (m_wake)
            m_wake();
    }
}

} // namespace melodrift::service
