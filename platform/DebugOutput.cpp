#include "MelodriftPlatform.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

namespace {

struct Channel {
    std::mutex lock;
    MDP_DebugSink sink = nullptr;
    void* context = nullptr;
    bool toStderr = std::getenv("MELODRIFT_DEBUG") != nullptr;
};

Channel& channel()
{
    static Channel c;
    return c;
}

} // namespace

extern "C" {

void MDP_SetDebugSink(MDP_DebugSink sink, void* context)
{
    Channel& c = channel();
    std::lock_guard<std::mutex> guard(c.lock);
    c.sink = sink;
    c.context = context;
}

void MDP_DebugOutput(const char* format, ...)
{
    if (format == nullptr)
        return;
    char line[MDP_DEBUG_LINE_MAX + 1];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int prefix = std::snprintf(line, sizeof line, "[%02d:%02d:%02d] ", local.tm_hour, local.tm_min, local.tm_sec);
    va_list args;
    va_start(args, format);
    // vsnprintf cuts the line at the channel's cap.
    std::vsnprintf(line + prefix, sizeof line - static_cast<size_t>(prefix), format, args);
    va_end(args);

    Channel& c = channel();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.sink != nullptr)
        c.sink(line, c.context);
    if (c.toStderr)
        std::fprintf(stderr, "%s\n", line);
}

} // extern "C"
