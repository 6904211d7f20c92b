#pragma once

#include "MelodriftPlatform.h"

namespace melodrift::arrangix {

// Every log line of the library goes to the platform's debug channel, which
// adds the time prefix.
template <typename... Args>
void log(const char* format, Args... args)
{
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#endif
    MDP_DebugOutput(format, args...);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

} // namespace melodrift::arrangix
