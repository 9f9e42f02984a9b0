#include <windows.h>

#include <atomic>
#include <csignal>

#include "cli/StopSignal.h"

namespace vexlo::cli {
namespace {

std::atomic<int> stopSignal{0};

// Runs on a thread of its own: a transaction in progress runs to its end, then the command stops.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    stopSignal = SIGINT;  // exit status 130, as for Ctrl-C on Linux
    return TRUE;
}

}  // namespace

void InstallStopHandlers() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

int StopSignal() { return stopSignal; }

void RequestStop(int signal) { stopSignal = signal; }

}  // namespace vexlo::cli
