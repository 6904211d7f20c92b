#include "OnlineOperation.h"

#include "AppSession.h"
#include "TProgressForm.h"

namespace melodrift {

OnlineOutcome RunOnlineOperation(QWidget* parent, AppSession& session, ProgressOperation op)
{
    TProgressForm progress(session, parent);
    const int result = progress.Run(std::move(op));
    OnlineOutcome outcome;
    // Online operations end with 1, or 2 when the user closed the dialog.
    outcome.cancelled = result == 2;
    outcome.code = progress.ResultCode();
    return outcome;
}

} // namespace melodrift
