#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

namespace melodrift::sonobox {

// Single-producer single-consumer ring without locks: one thread pushes, one
// pops. Capacity is fixed at construction, so neither side allocates.
template <typename T>
class SpscRing {
public:
    explicit SpscRing(std::size_t capacity) : m_items(capacity + 1) {}

    std::size_t Capacity() const { return m_items.size() - 1; }

    std::size_t Available() const
    {
        std::size_t head = m_head.load(std::memory_order_acquire);
        std::size_t tail = m_tail.load(std::memory_order_acquire);
        return head >= tail ? head - tail : head + m_items.size() - tail;
    }

    std::size_t Space() const { return Capacity() - Available(); }

    bool Push(const T& item) { return Push(&item, 1) == 1; }

    // Pushes as many of count items as fit; returns how many.
    std::size_t Push(const T* items, std::size_t count)
    {
        std::size_t head = m_head.load(std::memory_order_relaxed);
        std::size_t tail = m_tail.load(std::memory_order_acquire);
        std::size_t size = m_items.size();
        std::size_t free = (tail + size - head - 1) % size;
        std::size_t n = count < free ? count : free;
        for (std::size_t i = 0; i < n; ++i)
            m_items[(head + i) % size] = items[i];
        m_head.store((head + n) % size, std::memory_order_release);
        return n;
    }

    bool Pop(T& item) { return Pop(&item, 1) == 1; }

    std::size_t Pop(T* items, std::size_t count)
    {
        std::size_t tail = m_tail.load(std::memory_order_relaxed);
        std::size_t head = m_head.load(std::memory_order_acquire);
        std::size_t size = m_items.size();
        std::size_t used = (head + size - tail) % size;
        std::size_t n = count < used ? count : used;
        for (std::size_t i = 0; i < n; ++i)
            items[i] = m_items[(tail + i) % size];
        m_tail.store((tail + n) % size, std::memory_order_release);
        return n;
    }

private:
    std::vector<T> m_items;
    std::atomic<std::size_t> m_head{0};
    std::atomic<std::size_t> m_tail{0};
};

} // namespace melodrift::sonobox
