#include "AtomicFile.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace melodrift::tidelink {

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::string temp = path + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
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
