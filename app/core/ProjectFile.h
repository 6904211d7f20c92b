#pragma once

// Saving and opening project files (and the auto-save file). Saves and opens
// are serialised through one process-wide event, so an auto-save on the GUI
// thread never runs while the worker saves or opens.

#include <cstdint>
#include <string>

#include "MelodriftPlatform.h"
#include "AutoResetEvent.h"

namespace melodrift {

class TSongModel;
class TSettingsStore;

enum ProjectResult : uint32_t {
    kProjectOk = 0x80000100,
    kProjectCannotOpen = 0x80000101,
    kProjectBadVersion = 0x80000102,
    kProjectDamaged = 0x80000103,
    kProjectAudioError = 0x80000104,
    kProjectStyleGone = 0x80000105,
    kProjectStylesReplaced = 0x80000107,  // success; some entries took the song's style
};

inline bool ProjectOpened(uint32_t result) { return result == kProjectOk || result == kProjectStylesReplaced; }

// The message the Open command shows for a result; "" for the successes.
const char* ProjectResultMessage(uint32_t result);
extern const char* const kTimbreLibraryMissingMessage;

// Signalled while no save or open runs.
AutoResetEvent& ProjectEvent();

// Writes the project to path. With a progress window it is a user save that
// reports UM_PROGRESS_DONE or UM_PROGRESS_FAILED to it and makes path the
// current project; without one it is an auto-save that records itself in
// settings (when given). The file is written beside path and renamed into
// place only when complete, so a failed save leaves any previous file intact.
bool SaveProject(TSongModel& song, const std::string& path, MDP_Window progress,
                 TSettingsStore* settings = nullptr);

// Reads a project into song; returns a ProjectResult. Nothing in the song
// changes unless the file is whole, of a known version and its style exists.
uint32_t OpenProject(TSongModel& song, const std::string& path, MDP_Window progress);

// "<user data folder>/temp/~last.sav"; the folder is created on demand.
std::string AutoSaveFilePath();

} // namespace melodrift
