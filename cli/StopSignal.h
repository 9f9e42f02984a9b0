#pragma once

namespace vexlo::cli {

// SIGINT and SIGTERM (on Windows Ctrl-C and Ctrl-Break, taken as SIGINT) ask the long commands
// (cycle, run, watch) to stop after the transaction in progress; SIGPIPE is ignored so that a closed
// pipe shows as a failed write instead of killing the run before its CSV is complete. One file per
// platform: StopSignal_posix.cpp, StopSignal_win.cpp.
void InstallStopHandlers();
// The signal that asked to stop, 0 while none did.
int StopSignal();
// For tests that run commands in-process.
void RequestStop(int signal);

}  // namespace vexlo::cli
