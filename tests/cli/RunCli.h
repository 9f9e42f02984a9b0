#pragma once
// vexlo-cli (VEXLO_CLI_BINARY) as a child process: standard output piped, standard error kept.

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace vexlo::test {

inline std::vector<std::string> CliCommand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), VEXLO_CLI_BINARY);
    return arguments;
}

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

inline CliRun RunCli(const std::vector<std::string>& arguments) {
    ChildProcess process(CliCommand(arguments), ChildProcess::Stream::Output);
    const int code = process.Wait();
    return {code, process.Piped(), process.Kept()};
}

}  // namespace vexlo::test
