#pragma once

// Runs one online operation (login, registration, question, upload) in the
// progress dialog, off the GUI thread, and reports how it ended.

#include <QString>
#include <cstdint>

#include "TProgressThread.h"

class QWidget;

namespace melodrift {

struct AppSession;

struct OnlineOutcome {
    bool cancelled = false;   // the user closed the progress dialog
    int32_t code = 0;         // what the entry point returned (valid unless cancelled)
};

OnlineOutcome RunOnlineOperation(QWidget* parent, AppSession& session, ProgressOperation op);

} // namespace melodrift
