#include "KeyTrace.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace tonalyze {
namespace {

// Key analysis may run on any thread; the file is the one shared resource.
std::mutex& traceMutex()
{
    static std::mutex m;
    return m;
}

}  // namespace

KeyTrace::KeyTrace()
{
    const char* dir = std::getenv("MELODRIFT_TRACE_DIR");
    if (dir && *dir)
        m_path = std::string(dir) + "/" + kFileName;
}

// Written as one block so that a trace never interleaves with another call's.
KeyTrace::~KeyTrace()
{
    if (m_path.empty() || m_text.empty())
        return;
    std::lock_guard lock(traceMutex());
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(m_path.c_str(), "ab"), &std::fclose);
    if (f)
        std::fwrite(m_text.data(), 1, m_text.size(), f.get());
}

}  // namespace tonalyze
