#pragma once

// What the output file name asks for, and whether it can be written at all
// before any long step runs.

#include <string>

namespace melodrift::cli {

enum class OutputKind { Mp3, Wav, Midi, Project };

// By extension, case-insensitively: .mp3, .wav, .mid/.midi, .cpj. allowProject
// false refuses .cpj. Throws CliError (usage) for anything else.
OutputKind OutputKindOf(const std::string& path, bool allowProject);

const char* OutputKindName(OutputKind kind);

// Throws CliError (output) when the folder is missing or not writable, or
// the path names a folder. Leaves nothing behind.
void CheckWritable(const std::string& path);

} // namespace melodrift::cli
