#include "StepChooser.h"

#include "Log.h"

namespace tonalyze {

StepKind StepChooser::choose(int64_t length)
{
    if (length % m_metre.stepTicks(StepKind::Quarter) == 0)
        m_previous = StepKind::Quarter;
    else if (length % m_metre.stepTicks(StepKind::Third) == 0)
        m_previous = StepKind::Third;
    else
        logText("非法音符时值输入\n");
    return m_previous;
}

}  // namespace tonalyze
