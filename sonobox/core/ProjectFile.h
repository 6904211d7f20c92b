#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace melodrift::sonobox {

// The engine's block in a project file the program has begun: appended at
// the file's end with the recogniser's own block after it, whose size is then
// written into the engine's block; and byte ranges read back for loading.
class ProjectFile {
public:
    explicit ProjectFile(std::string path) : m_path(std::move(path)) {}

    // Appends block (a serialised ProjectBlock); false when the file cannot
    // be opened or written.
    bool Append(const std::vector<std::uint8_t>& block);
    // Writes the size of the recogniser's block that followed the appended
    // block into it.
    bool SetRecogniserBytes(std::uint32_t bytes);
    // Reads size bytes at offset (size < 0: to the end); nullopt when the
    // range does not lie inside the file.
    std::optional<std::vector<std::uint8_t>> Read(std::int64_t offset, std::int64_t size) const;

private:
    std::string m_path;
    std::int64_t m_blockStart = -1;
    std::size_t m_blockSize = 0;
};

} // namespace melodrift::sonobox
