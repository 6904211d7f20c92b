#include "SourceTable.h"

#include <algorithm>

namespace melodrift::service {

bool WindowCount::Take(Clock::time_point now, Clock::duration window, int allowed)
{
    if (count == 0 || now - start >= window) {
        start = now;
        count = 0;
    }
    if (count >= allowed)
        return false;
    ++count;
    return true;
}

void Backoff::Fail(Clock::time_point now, int allowance, Clock::duration base, Clock::duration longest)
{
    // Failures long ago do not count against a new try.
    if (failures > 0 && now - lastFailure > longest)
        failures = 0;
    ++failures;
    lastFailure = now;
    if (failures <= allowance)
        return;
    Clock::duration wait = base;
    for (int i = allowance + 1; i < failures && wait < longest; ++i)
        wait *= 2;
    blockedUntil = now + std::min(wait, longest);
}

SourceState& SourceTable::Touch(const std::string& ip)
{
    auto at = m_index.find(ip);
    if (at != m_index.end()) {
        m_order.splice(m_order.begin(), m_order, at->second);
        return at->second->second;
    }
    if (m_index.size() >= m_capacity) {
        m_index.erase(m_order.back().first);
        m_order.pop_back();
        ++m_evicted;
    }
    m_order.emplace_front(ip, SourceState{});
    m_index.emplace(ip, m_order.begin());
    return m_order.front().second;
}

SourceState* SourceTable::Find(const std::string& ip)
{
    auto at = m_index.find(ip);
    return at == m_index.end() ? nullptr : &at->second->second;
}

void SourceTable::Erase(const std::string& ip)
{
    auto at = m_index.find(ip);
    if (at == m_index.end())
        return;
    m_order.erase(at->second);
    m_index.erase(at);
}

std::string SourceOf(const std::string& peer)
{
    size_t slash = peer.rfind('/');
    size_t colon = peer.rfind(':');
    if (slash == std::string::npos || colon == std::string::npos || colon < slash)
        return peer;
    return peer.substr(slash + 1, colon - slash - 1);
}

} // namespace melodrift::service
