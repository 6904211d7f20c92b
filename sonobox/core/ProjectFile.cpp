#include "ProjectFile.h"

#include <fstream>

#include "ProjectBlock.h"

namespace melodrift::sonobox {

bool ProjectFile::Append(const std::vector<std::uint8_t>& block)
{
    std::fstream file(m_path, std::ios::binary | std::ios::in | std::ios::out | std::ios::ate);
    if (!file)
        return false;
    m_blockStart = file.tellp();
    m_blockSize = block.size();
    file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    return static_cast<bool>(file);
}

bool ProjectFile::SetRecogniserBytes(std::uint32_t bytes)
{
    if (m_blockStart < 0 || m_blockSize < kRecogniserSizeFromEnd)
        return false;
    std::fstream file(m_path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(m_blockStart + static_cast<std::int64_t>(m_blockSize - kRecogniserSizeFromEnd));
    unsigned char le[4] = {static_cast<unsigned char>(bytes), static_cast<unsigned char>(bytes >> 8),
                           static_cast<unsigned char>(bytes >> 16), static_cast<unsigned char>(bytes >> 24)};
    file.write(reinterpret_cast<const char*>(le), 4);
    return static_cast<bool>(file);
}

std::optional<std::vector<std::uint8_t>> ProjectFile::Read(std::int64_t offset, std::int64_t size) const
{
    std::ifstream file(m_path, std::ios::binary | std::ios::ate);
    if (!file || offset < 0)
        return std::nullopt;
    std::int64_t length = file.tellg();
    if (offset > length || (size >= 0 && size > length - offset))
        return std::nullopt;
    std::int64_t n = size >= 0 ? size : length - offset;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
    file.seekg(offset);
    file.read(reinterpret_cast<char*>(bytes.data()), n);
    if (file.gcount() != n)
        return std::nullopt;
    return bytes;
}

} // namespace melodrift::sonobox
