#pragma once

// The main window's handling of UM_EXPORT_SONG: the save dialog chooses the
// file and tracks, the progress dialog writes it.

class QWidget;

namespace melodrift {

struct AppSession;

// Returns the progress dialog's result, or 2 when the save dialog was
// cancelled.
int RunExportFlow(QWidget* owner, AppSession& session);

} // namespace melodrift
