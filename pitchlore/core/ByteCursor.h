// Little-endian reading and writing of the fixed-width fields of a block;
// reading never goes past the end and reports a short block.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace pitchlore {

class ByteWriter {
public:
    template <typename T>
    void put(T value)
    {
        uint8_t raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof(T));
        m_bytes.insert(m_bytes.end(), raw, raw + sizeof(T));
    }
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes)
        : m_bytes(bytes)
    {
    }

    template <typename T>
    bool get(T& value)
    {
        if (remaining() < sizeof(T))
            return false;
        std::memcpy(&value, m_bytes.data() + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return true;
    }
    size_t remaining() const { return m_bytes.size() - m_pos; }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
};

static_assert(std::endian::native == std::endian::little, "blocks are stored in host order on little-endian hosts");

}  // namespace pitchlore
