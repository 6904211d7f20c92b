#include "ProjectBlock.h"

#include <cmath>
#include <cstring>

namespace melodrift::sonobox {
namespace {

class Writer {
public:
    void Bytes(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const std::uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void U32(std::uint32_t v)
    {
        std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        Bytes(b, 4);
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void F32(float v)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void F64(double v)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        U32(static_cast<std::uint32_t>(bits));
        U32(static_cast<std::uint32_t>(bits >> 32));
    }
    std::vector<std::uint8_t> out;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Has(std::size_t n) const { return n <= m_size - m_pos; }
    bool U32(std::uint32_t& v)
    {
        if (!Has(4))
            return false;
        const std::uint8_t* p = m_data + m_pos;
        v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        m_pos += 4;
        return true;
    }
    bool I32(std::int32_t& v)
    {
        std::uint32_t u;
        if (!U32(u))
            return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    bool F32(float& v)
    {
        std::uint32_t u;
        if (!U32(u))
            return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    bool F64(double& v)
    {
        std::uint32_t lo, hi;
        if (!U32(lo) || !U32(hi))
            return false;
        std::uint64_t bits = lo | (static_cast<std::uint64_t>(hi) << 32);
        std::memcpy(&v, &bits, 8);
        return true;
    }
    bool Bytes(std::vector<std::uint8_t>& v, std::size_t n)
    {
        if (!Has(n))
            return false;
        v.assign(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return true;
    }
    std::size_t Position() const { return m_pos; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

constexpr std::uint32_t kMaxTakes = 6;
constexpr std::uint32_t kMaxSegments = 4096;

} // namespace

std::vector<std::uint8_t> SerializeProjectBlock(const ProjectBlock& block)
{
    Writer w;
    w.Bytes("SBXP", 4);
    w.U32(kProjectBlockFormat);
    w.U32(0); // patched below
    w.I32(block.tempo);
    w.I32(block.metre);
    for (float v : block.volumes)
        w.F32(v);
    for (std::int32_t e : block.effects)
        w.I32(e);
    w.U32(static_cast<std::uint32_t>(block.takes.size()));
    for (const ProjectBlock::Take& take : block.takes) {
        w.U32(take.stream);
        w.U32(take.samples);
        w.U32(static_cast<std::uint32_t>(take.flac.size()));
        w.Bytes(take.flac.data(), take.flac.size());
    }
    w.U32(static_cast<std::uint32_t>(block.segments.size()));
    for (const auto& [start, length] : block.segments) {
        w.F64(start);
        w.F64(length);
    }
    w.U32(block.recogniserBytes);
    auto total = static_cast<std::uint32_t>(w.out.size());
    for (int i = 0; i < 4; ++i)
        w.out[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(total >> (8 * i));
    return w.out;
}

std::optional<ProjectBlock> ParseProjectBlock(const std::uint8_t* data, std::size_t size, std::size_t* blockBytes)
{
    if (!data || size < 12 || std::memcmp(data, "SBXP", 4) != 0)
        return std::nullopt;
    Reader header(data + 4, size - 4);
    std::uint32_t format = 0, total = 0;
    if (!header.U32(format) || !header.U32(total) || format != kProjectBlockFormat || total < 12 || total > size)
        return std::nullopt;
    // Everything below must lie inside the block's own length.
    Reader r(data + 12, total - 12);
    ProjectBlock block;
    std::int32_t tempo = 0, metre = 0;
    if (!r.I32(tempo) || !r.I32(metre) || tempo < 20 || tempo > 300 || metre < 0 || metre > 3)
        return std::nullopt;
    block.tempo = tempo;
    block.metre = metre;
    for (float& v : block.volumes)
        if (!r.F32(v) || !std::isfinite(v))
            return std::nullopt;
    for (std::int32_t& e : block.effects)
        if (!r.I32(e))
            return std::nullopt;
    std::uint32_t takes = 0;
    if (!r.U32(takes) || takes > kMaxTakes)
        return std::nullopt;
    for (std::uint32_t i = 0; i < takes; ++i) {
        ProjectBlock::Take take;
        std::uint32_t bytes = 0;
        if (!r.U32(take.stream) || !r.U32(take.samples) || !r.U32(bytes) || take.stream >= 6 || !r.Bytes(take.flac, bytes))
            return std::nullopt;
        // Only FLAC is stored; nothing else is handed to the decoder.
        if (take.flac.size() < 4 || std::memcmp(take.flac.data(), "fLaC", 4) != 0)
            return std::nullopt;
        block.takes.push_back(std::move(take));
    }
    std::uint32_t segments = 0;
    if (!r.U32(segments) || segments > kMaxSegments || !r.Has(static_cast<std::size_t>(segments) * 16))
        return std::nullopt;
    for (std::uint32_t i = 0; i < segments; ++i) {
        double start = 0, length = 0;
        if (!r.F64(start) || !r.F64(length) || !std::isfinite(start) || !std::isfinite(length))
            return std::nullopt;
        block.segments.emplace_back(start, length);
    }
    if (!r.U32(block.recogniserBytes) || r.Position() != total - 12)
        return std::nullopt;
    if (block.recogniserBytes > size - total)
        return std::nullopt;
    if (blockBytes)
        *blockBytes = total;
    return block;
}

} // namespace melodrift::sonobox
