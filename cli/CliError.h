#pragma once

// Failures the program reports as one line on standard error, each with the
// exit status that tells scripts what kind of problem it was.

#include <stdexcept>
#include <string>

namespace melodrift::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,   // a step of the pipeline failed
    kExitUsage = 2,     // bad command line: unknown option, value out of range
    kExitInput = 3,     // the take or project cannot be used
    kExitOutput = 4,    // the output cannot be written
    kExitInterrupted = 130,  // Ctrl-C or a termination request, as shells count it
};

class CliError : public std::runtime_error {
public:
    CliError(ExitCode code, const std::string& message);
    ExitCode Code() const { return m_code; }

private:
    ExitCode m_code;
};

[[noreturn]] void Fail(ExitCode code, const std::string& message);

} // namespace melodrift::cli
