#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace melodrift::service {

using Clock = std::chrono::steady_clock;

// A count of events in a fixed window (registrations, questions).
struct WindowCount {
    Clock::time_point start{};
    int count = 0;
    // True (and counted) when another event fits into the window.
    bool Take(Clock::time_point now, Clock::duration window, int allowed);
};

// Failed logins with a doubling wait once they pass the free allowance.
struct Backoff {
    int failures = 0;
    Clock::time_point blockedUntil{};
    Clock::time_point lastFailure{};
    bool Blocked(Clock::time_point now) const { return now < blockedUntil; }
    void Fail(Clock::time_point now, int allowance, Clock::duration base, Clock::duration longest);
    void Succeed() { *this = Backoff{}; }
};

// What the service remembers about one source address: its request rate,
// the last reply per sending port (answers to retries), login failures and
// quotas. Everything here may be forgotten without harm beyond a reset of
// that one source.
struct SourceState {
    struct Reply {
        std::string peer;
        uint64_t key = 0; // of the whole request: a retry repeats it byte for byte
        uint16_t id = 0, sequence = 0;
        std::vector<uint8_t> bytes;
    };
    double tokens = 0;
    Clock::time_point refilled{};
    std::vector<Reply> replies; // newest last
    Backoff logins;
    WindowCount registrations;
    WindowCount questions;
    int hashesInFlight = 0;
    // Has shown it receives our replies (it used a transfer handle).
    bool proven = false;
};

// The per-source table: at most `capacity` sources; when a new one comes the
// least recently seen one is forgotten, so a flood of fresh addresses costs
// only its own entries and never clears the others.
class SourceTable {
public:
    explicit SourceTable(size_t capacity) : m_capacity(capacity < 1 ? 1 : capacity) {}

    // The entry of a source, created (and the oldest evicted) as needed; it
    // becomes the most recent one.
    SourceState& Touch(const std::string& ip);
    // The entry when known, without making it recent; nullptr otherwise.
    SourceState* Find(const std::string& ip);
    void Erase(const std::string& ip);
    size_t Size() const { return m_index.size(); }
    size_t Capacity() const { return m_capacity; }
    uint64_t Evicted() const { return m_evicted; }

private:
    using Entry = std::pair<std::string, SourceState>;
    size_t m_capacity;
    std::list<Entry> m_order; // most recent first
    std::unordered_map<std::string, std::list<Entry>::iterator> m_index;
    uint64_t m_evicted = 0;
};

// "udp/1.2.3.4:5" and "tcp/7/1.2.3.4:5" → "1.2.3.4"; other names as they are.
std::string SourceOf(const std::string& peer);

} // namespace melodrift::service
