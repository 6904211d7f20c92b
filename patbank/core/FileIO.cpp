#include "FileIO.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace melodrift::patbank {

namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool readAll(int fd, uint8_t* out, size_t n)
{
    while (n > 0) {
        const ssize_t got = ::read(fd, out, n);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool writeAll(int fd, const uint8_t* in, size_t n)
{
    while (n > 0) {
        const ssize_t put = ::write(fd, in, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        in += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

void syncFolder(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace

std::optional<std::vector<uint8_t>> readFileHead(const std::string& path, size_t n, uint64_t& fileSize)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    fileSize = static_cast<uint64_t>(st.st_size);
    std::vector<uint8_t> out(std::min<uint64_t>(n, fileSize));
    if (!readAll(fd.get(), out.data(), out.size()))
        return std::nullopt;
    return out;
}

std::optional<std::vector<uint8_t>> readFile(const std::string& path, uint64_t maxBytes)
{
    uint64_t size = 0;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    size = static_cast<uint64_t>(st.st_size);
    if (size > maxBytes)
        return std::nullopt;
    std::vector<uint8_t> out(size);
    if (!readAll(fd.get(), out.data(), out.size()))
        return std::nullopt;
    return out;
}

bool writeFileDurably(const std::string& path, std::span<const uint8_t> bytes)
{
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        return false;
    const bool ok = writeAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0 && fd.close()
        && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolder(path);
    return true;
}

std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0
            && it->is_regular_file(ec))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace melodrift::patbank
