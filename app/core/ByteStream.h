#pragma once

// Little-endian byte writing and bounds-checked reading for file formats.

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace melodrift {

class ByteWriter {
public:
    template <typename T>
    void Put(T value)
    {
        static_assert(std::is_arithmetic_v<T>);
        const size_t at = m_bytes.size();
        m_bytes.resize(at + sizeof(T));
        std::memcpy(m_bytes.data() + at, &value, sizeof(T)); // the targets are little-endian
    }
    void PutBytes(const void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Every read checks the remaining length; after the first failure all reads
// fail and Ok() is false.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    template <typename T>
    bool Get(T& value)
    {
        static_assert(std::is_arithmetic_v<T>);
        if (!Take(sizeof(T)))
            return false;
        std::memcpy(&value, m_data + m_pos - sizeof(T), sizeof(T));
        return true;
    }
    bool GetBytes(void* out, size_t size)
    {
        if (!Take(size))
            return false;
        std::memcpy(out, m_data + m_pos - size, size);
        return true;
    }
    bool Skip(size_t size) { return Take(size); }
    // A count of records of recordSize bytes each that must fit the rest.
    bool GetCount(int32_t& count, size_t recordSize)
    {
        if (!Get(count))
            return false;
        if (count < 0 || (recordSize > 0 && static_cast<size_t>(count) > Remaining() / recordSize))
            return Fail();
        return true;
    }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_size - m_pos; }
    bool Ok() const { return m_ok; }
    bool Fail()
    {
        m_ok = false;
        return false;
    }

private:
    bool Take(size_t size)
    {
        if (!m_ok || size > m_size - m_pos)
            return Fail();
        m_pos += size;
        return true;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace melodrift
