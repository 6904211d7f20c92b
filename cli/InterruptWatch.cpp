#include "InterruptWatch.h"

#include <csignal>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#include "CliError.h"
#include "EngineTables.h"

namespace melodrift::cli {

namespace {

struct WatchState {
    std::mutex lock;
    bool interrupted = false;
    bool exporting = false;
    std::string path;
};

WatchState& State()
{
    static WatchState state;
    return state;
}

sigset_t WatchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void Watch(sigset_t set)
{
    int signal = 0;
    if (sigwait(&set, &signal) != 0)
        return;
    WatchState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.interrupted = true;
    if (s.exporting) {
        // The export thread ends soon and reports; the rest is its job.
        if (Engines().mm.MM_CancelSave)
            Engines().mm.MM_CancelSave();
        return;
    }
    static const char kMessage[] = "\nmelodrift-cli: interrupted\n";
    (void)!::write(2, kMessage, sizeof kMessage - 1);
    ::_exit(kExitInterrupted);
}

} // namespace

void StartInterruptWatch()
{
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(Watch, set).detach();
}

void BeginExport(const std::string& path)
{
    WatchState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.interrupted)
        throw CliError(kExitInterrupted, "interrupted; " + path + " was not written");
    s.exporting = true;
    s.path = path;
}

void EndExport()
{
    WatchState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.exporting = false;
    if (!s.interrupted)
        return;
    // Finished in the moment between the request and the cancel: the user
    // asked for nothing to be written.
    ::unlink(s.path.c_str());
    throw CliError(kExitInterrupted, "interrupted; " + s.path + " was not written");
}

} // namespace melodrift::cli
