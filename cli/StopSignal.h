#pragma once

namespace vexlo::cli {

// SIGINT and SIGTERM ask the long commands (cycle, run, watch) to stop after the transaction in
// progress; SIGPIPE is ignored so that a closed pipe shows as a failed write instead of killing the
// run before its CSV is complete.
void InstallStopHandlers();
// The signal that asked to stop, 0 while none did.
int StopSignal();
// For tests that run commands in-process.
void RequestStop(int signal);

}  // namespace vexlo::cli
