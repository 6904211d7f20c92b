#include "Log.h"

#include "MelodriftPlatform.h"

namespace tonalyze {

void logText(const std::string& text)
{
    MDP_DebugOutput("%s", text.c_str());
}

}  // namespace tonalyze
