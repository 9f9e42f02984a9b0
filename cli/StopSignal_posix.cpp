#include "cli/StopSignal.h"

#include <signal.h>

#include <atomic>

namespace vexlo::cli {
namespace {

std::atomic<int> stopSignal{0};

void OnStop(int signal) { stopSignal = signal; }

}  // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: a transaction in progress runs to its end, then the command stops.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
}

int StopSignal() { return stopSignal; }

void RequestStop(int signal) { stopSignal = signal; }

}  // namespace vexlo::cli
