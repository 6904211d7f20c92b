#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

namespace melodrift::tidelink {

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes)
{
    // A temporary name of our own beside the file (two writers never share
    // one), synced before it replaces the file, and the folder synced after,
    // so a crash leaves either the old file or the new one.
    std::string temp = path + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0644);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += size_t(n);
    }
    bool ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, size_t limit)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.clear();
    uint8_t chunk[8192];
    size_t n = 0;
    bool ok = true;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (bytes.size() + n > limit) {
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    std::fclose(file);
    return ok;
}

} // namespace melodrift::tidelink
