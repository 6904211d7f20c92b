#include "Timing.h"

#include <algorithm>
#include <cstdlib>

namespace melodrift::tidelink {

Timing Timing::Scaled(int percent) const
{
    auto scale = [percent](int ms) { return std::max(1, ms * percent / 100); };
    Timing t = *this;
    t.startDelayMs = scale(startDelayMs);
    t.workWaitMs = scale(workWaitMs);
    t.doneWaitMs = scale(doneWaitMs);
    t.connectWaitMs = scale(connectWaitMs);
    t.replyPollMs = scale(replyPollMs);
    t.probeWaitMs = scale(probeWaitMs);
    t.personalNoticeMs = scale(personalNoticeMs);
    return t;
}

Timing Timing::FromEnvironment()
{
    const char* value = std::getenv("MELODRIFT_TIDELINK_TIME_SCALE");
    if (value == nullptr || *value == '\0')
        return Timing{};
    int percent = std::atoi(value);
    return Timing{}.Scaled(std::clamp(percent, 1, 100));
}

} // namespace melodrift::tidelink
