#pragma once

#include "DecodedStyle.h"

#include <cstdint>

namespace melodrift::arrangix {

// Builds the empty part group for chord type `target` (1..3) of a main or
// fill segment from its major group (minor group for minor seventh when it
// has tracks). 0, SM_E_SEGMENT when the target is taken or the source is
// empty, SM_E_DERIVE for target 0 or an intro/outro segment; failures leave
// the group empty.
int32_t derivePartGroup(StyleSegment& segment, int kind, int target);

} // namespace melodrift::arrangix
