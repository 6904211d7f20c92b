#include "BlockFile.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pitchlore {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Only regular files: a directory or a device is no place for a block.
File openRegular(const char* path, const char* mode)
{
    if (path == nullptr)
        return nullptr;
    File f(std::fopen(path, mode));
    struct stat st {};
    if (f && (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)))
        return nullptr;
    return f;
}

bool writeAll(std::FILE* f, const std::vector<uint8_t>& block)
{
    return std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0;
}

}  // namespace

BlockFile::Status BlockFile::append(const char* path, const std::vector<uint8_t>& block)
{
    File f = openRegular(path, "r+b");
    if (!f)
        return Status::CannotOpen;
    if (std::fseek(f.get(), 0, SEEK_END) != 0)
        return Status::WriteFailed;
    off_t start = ftello(f.get());
    if (start < 0)
        return Status::WriteFailed;
    if (!writeAll(f.get(), block)) {
        // Leave no half block behind for a later load to trip over.
        std::clearerr(f.get());
        if (ftruncate(fileno(f.get()), start) != 0)
            return Status::WriteFailed;
        return Status::WriteFailed;
    }
    return std::fclose(f.release()) == 0 ? Status::Done : Status::WriteFailed;
}

BlockFile::Status BlockFile::writeAt(const char* path, int64_t offset, const std::vector<uint8_t>& block)
{
    if (offset < 0)
        return Status::CannotOpen;
    File f = openRegular(path, "r+b");
    if (!f)
        return Status::CannotOpen;
    if (fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0 || !writeAll(f.get(), block))
        return Status::WriteFailed;
    return std::fclose(f.release()) == 0 ? Status::Done : Status::WriteFailed;
}

BlockFile::Outcome BlockFile::load(const char* path, int64_t offset, AnalysisBlock::Layout layout,
                                   Analyser& analyser)
{
    Outcome outcome;
    File f = openRegular(path, "rb");
    if (!f)
        return outcome;
    outcome.status = Status::Damaged;
    struct stat st {};
    if (offset < 0 || fstat(fileno(f.get()), &st) != 0 || offset + 4 > st.st_size)
        return outcome;
    int32_t size = 0;
    if (fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0 || std::fread(&size, 4, 1, f.get()) != 1)
        return outcome;
    outcome.storedSize = size;
    if (size == 0) {
        outcome.status = Status::Empty;
        return outcome;
    }
    if (size < 0 || offset + 4 + static_cast<int64_t>(size) > st.st_size)
        return outcome;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return outcome;
    }
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        return outcome;
    std::optional<AnalysisBlock> block = AnalysisBlock::read(bytes, layout);
    if (!block)
        return outcome;
    block->applyTo(analyser);
    outcome.status = Status::Done;
    return outcome;
}

}  // namespace pitchlore
