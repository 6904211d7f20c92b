#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace melodrift::arrangix {

// Big-endian reads over a byte range that never step past its end: a read
// that would fails and leaves the position alone.
class ByteReader {
public:
    ByteReader(std::span<const uint8_t> bytes, size_t pos = 0) : bytes_(bytes), pos_(pos) {}

    size_t pos() const { return pos_; }
    size_t size() const { return bytes_.size(); }
    size_t remaining() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }
    bool atEnd() const { return pos_ >= bytes_.size(); }

    bool u8(uint8_t& v)
    {
        if (remaining() < 1)
            return false;
        v = bytes_[pos_++];
        return true;
    }
    bool peek(size_t ahead, uint8_t& v) const
    {
        if (remaining() <= ahead)
            return false;
        v = bytes_[pos_ + ahead];
        return true;
    }
    bool uint(size_t n, uint32_t& v)
    {
        if (remaining() < n)
            return false;
        v = 0;
        for (size_t i = 0; i < n; ++i)
            v = (v << 8) | bytes_[pos_ + i];
        pos_ += n;
        return true;
    }
    // Variable-length quantity of at most four bytes.
    bool vlq(uint32_t& v)
    {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b;
            if (!u8(b))
                return false;
            v = (v << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false;
    }
    bool skip(size_t n)
    {
        if (remaining() < n)
            return false;
        pos_ += n;
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_;
};

} // namespace melodrift::arrangix
