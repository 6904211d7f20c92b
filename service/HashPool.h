#pragma once

#include "PasswordHash.h"
#include "Wire.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace melodrift::service {

// One password hash to run away from the server loop: a check of a login
// against its stored hash (or a stand-in for a user that does not exist, so
// both cost the same) or the hash of a new account.
struct HashJob {
    enum class Kind { Verify, Create };
    Kind kind = Kind::Verify;
    std::string peer;
    tidelink::Message request;
    std::string digest;
    StoredPassword stored; // Verify: what to check against; Create: the result
    int iterations = 0;
    int32_t userId = 0; // Verify: 0 for an unknown user
    bool matched = false;
    bool failed = false; // the hash itself could not run
};

// A fixed set of worker threads with two bounded queues. Finished jobs wait
// until the loop takes them; the wake callback tells it they are there.
class HashPool {
public:
    HashPool(int workers, size_t queueLimit, std::function<void()> wake);
    ~HashPool();
    HashPool(const HashPool&) = delete;
    HashPool& operator=(const HashPool&) = delete;

    // False when that queue is full (the job is not taken). Urgent jobs (of
    // sources known to read their replies) run before all others.
    bool Submit(HashJob job, bool urgent);
    std::vector<HashJob> TakeFinished();
    size_t Queued(bool urgent);

    // Runs one job on the caller's thread.
    static void Run(HashJob& job);

private:
    void Work();

    std::function<void()> m_wake;
    size_t m_limit;
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<HashJob> m_urgent, m_queue;
    std::vector<HashJob> m_finished;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

} // namespace melodrift::service
