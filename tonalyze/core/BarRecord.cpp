#include "BarRecord.h"

namespace tonalyze {

bool amongFirstThree(const CandidateList& list, int f)
{
    for (int i = 0; i < 3; ++i)
        if (list[i].function == f)
            return true;
    return false;
}

}  // namespace tonalyze
