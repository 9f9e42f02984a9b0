// vexlo-cli: the console's Modbus master on the command line, for scripts and end-of-line checks.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliSession.h"

int main(int argc, char** argv) {
    using namespace vexlo::cli;
    const ParsedLine parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "vexlo-cli: " << parsed.error << "\n(vexlo-cli --help lists the commands)\n";
        return CliSession::kBadUsage;
    }
    const CliOptions& options = *parsed.options;
    if (options.Has("--help")) {
        const CommandHelp* command = FindCommand(options.command);
        std::cout << (command != nullptr ? CommandUsage(*command) : GeneralHelp());
        return CliSession::kDone;
    }
    CliSession session(options, std::cout, std::cerr);
    return session.Run();
}
