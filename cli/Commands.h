#pragma once

// The subcommands. Each takes its arguments (after the subcommand name),
// writes results to standard output and progress to standard error, and
// returns the exit status or throws CliError.

#include <string>
#include <vector>

namespace melodrift::cli {

using Arguments = std::vector<std::string>;

int RunStyles(const Arguments& args);
int RunRecognize(const Arguments& args);
int RunCompose(const Arguments& args);
int RunRender(const Arguments& args);
int RunDemo(const Arguments& args);

// The one-screen help of the program.
extern const char* const kProgramHelp;

// Where the sample take is installed: <bin>/samples/sample-take.wav.
std::string SampleTakePath();

} // namespace melodrift::cli
