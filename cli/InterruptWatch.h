#pragma once

// Ctrl-C and termination requests. The signals are taken by a thread of
// their own, so an export in progress is cancelled through the engine and
// removes its temporary file; at any other moment the program ends at once,
// since nothing is being written.

#include <string>

#include "CliError.h"

namespace melodrift::cli {


// Blocks SIGINT, SIGTERM and SIGHUP for every thread started afterwards and
// starts the watcher. Call first thing in main.
void StartInterruptWatch();

// Brackets the writing of path. BeginExport throws CliError when an
// interruption came first; EndExport removes a file that was finished after
// the interruption and throws.
void BeginExport(const std::string& path);
void EndExport();

} // namespace melodrift::cli
