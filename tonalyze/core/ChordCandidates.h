// Ranks the six diatonic triads against a bar's degree-weight profile.
#pragma once

#include "BarRecord.h"

namespace tonalyze {

using DegreeProfile = std::array<int64_t, 12>;

CandidateList rankCandidates(const DegreeProfile& w);

}  // namespace tonalyze
