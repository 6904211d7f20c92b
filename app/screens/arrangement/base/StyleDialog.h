#pragma once

// Opening the style selection dialog from a screen.

#include "StyleSelLogic.h"

class QWidget;

namespace melodrift {

struct AppSession;

// The whole song's style: the chosen style's id, or -1 when the dialog was
// closed without choosing. A preview that changed the song's style while the
// dialog was open is undone on a cancel (the base accompaniment is then
// marked for composing again).
int ChooseStyle(QWidget* parent, AppSession& session, int currentStyleId);

// The full form for callers that set a stage: in/out as the dialog's
// fields. True when a style was chosen.
bool RunStyleDialog(QWidget* parent, AppSession& session, StyleDialogInput& io);

// The mode hint of a song: 1 when its first chord is minor, 0 major, -1 none.
int SongModeHint(const TSongModel& song);

} // namespace melodrift
