#pragma once

namespace melodrift {

// Each screen folder's registration; RegisterScreens calls them all.
void RegisterRecordingScreens();   // pages 1 and 2, microphone and effect dialogs
void RegisterBaseScreens();        // page 3 and the style dialog
void RegisterFinishScreens();      // pages 4 and 5, save and progress dialogs
void RegisterAccountScreens();     // help page, login, upload, update, about

// Hands every screen to the main window; call before the window is built.
void RegisterScreens();

} // namespace melodrift
