// melodrift-cli: the subcommand dispatcher. Every failure ends here as one
// line on standard error and a non-zero exit status.

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include <unistd.h>

#include "CliError.h"
#include "Commands.h"
#include "InterruptWatch.h"

using namespace melodrift::cli;

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const Arguments&);
};

const Subcommand kSubcommands[] = {
    {"styles", RunStyles}, {"recognize", RunRecognize}, {"compose", RunCompose},
    {"render", RunRender}, {"demo", RunDemo},
};

int Dispatch(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(kProgramHelp, stderr);
        return kExitUsage;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kProgramHelp, stdout);
        return kExitOk;
    }
    const Arguments args(argv + 2, argv + argc);
    for (const Subcommand& sub : kSubcommands)
        if (command == sub.name)
            return sub.run(args);
    Fail(kExitUsage, "unknown command '" + command + "' (see: melodrift-cli --help)");
}

// A progress bar may be half drawn on a terminal; the error starts afresh.
const char* Newline()
{
    return ::isatty(::fileno(stderr)) == 1 ? "\n" : "";
}

} // namespace

int main(int argc, char** argv)
{
    StartInterruptWatch();
    try {
        return Dispatch(argc, argv);
    } catch (const CliError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%smelodrift-cli: %s\n", Newline(), e.what());
        return e.Code();
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%smelodrift-cli: %s\n", Newline(), e.what());
        return kExitFailure;
    }
}
