#pragma once

#include "DecodedStyle.h"
#include "Plan.h"

#include <cstdint>

namespace melodrift::arrangix {

// Plan of a style demonstration at time t (seconds): type 0 main pattern,
// 1 intro, 2 outro named by segmentId; anything else the full tour of the
// main patterns with fills. key and mode must already be in range.
Plan demoPlan(DecodedStyle& style, int type, int segmentId, int key, int mode, int64_t t);

// Plan of the segment named by a segment code (position in its kind's list)
// in C major, or of every main, intro and outro segment when code < 0.
// Empty when the code names no segment.
Plan segmentDataPlan(DecodedStyle& style, int32_t code);

} // namespace melodrift::arrangix
