// Bounds-checked reading of little-endian fields from untrusted bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace melodrift::patbank {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    size_t remaining() const { return m_bytes.size() - m_pos; }
    size_t position() const { return m_pos; }

    bool u32(uint32_t& out)
    {
        if (remaining() < 4)
            return false;
        const uint8_t* p = m_bytes.data() + m_pos;
        out = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        m_pos += 4;
        return true;
    }

    bool i32(int32_t& out)
    {
        uint32_t v = 0;
        if (!u32(v))
            return false;
        out = static_cast<int32_t>(v);
        return true;
    }

    // Copies n bytes into a trivially copyable destination of exactly n bytes.
    bool raw(void* out, size_t n)
    {
        if (remaining() < n)
            return false;
        std::memcpy(out, m_bytes.data() + m_pos, n);
        m_pos += n;
        return true;
    }

    bool take(size_t n, std::span<const uint8_t>& out)
    {
        if (remaining() < n)
            return false;
        out = m_bytes.subspan(m_pos, n);
        m_pos += n;
        return true;
    }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
};

inline void putRaw(std::vector<uint8_t>& out, const void* p, size_t n)
{
    if (n == 0)
        return;
    const size_t at = out.size();
    out.resize(at + n);
    std::memcpy(out.data() + at, p, n);
}

inline void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    putRaw(out, b, 4);
}

} // namespace melodrift::patbank
