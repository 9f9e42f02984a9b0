// vexlo-cli: the console's Modbus master on the command line, for scripts and end-of-line checks.
#include <cstdio>

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "cli/StopSignal.h"

int main(int argc, char** argv) {
    using namespace vexlo::cli;
    InstallStopHandlers();
    const ParsedLine parsed = ParseCommandLine(argc, argv, stdout, stderr);
    if (!parsed.options) {
        if (std::fflush(stdout) != 0) {
            std::perror("vexlo-cli: cannot write to standard output");
            return 1;
        }
        return parsed.exitStatus;
    }
    CliSession session(*parsed.options, stdout, stderr);
    return session.Run();
}
