#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vexlo::cli {

// The command line of vexlo-cli once CLI11 has taken it apart. Numbers are kept as checked values;
// positional arguments stay text, because each command refuses them with the console's own prompt.
struct CliOptions {
    std::string command;
    std::array<std::string, 3> arguments;  // ADDR / PROG / ID / VALUE ..., as the command names them
    int argumentCount = 0;

    // For every command.
    std::optional<std::string> port;
    std::optional<long long> station;
    std::optional<std::string> access;
    bool trace = false;
    bool json = false;
    std::optional<long long> baud;
    std::optional<std::string> parity;
    std::optional<long long> dataBits;
    std::optional<long long> stopBits;
    std::optional<long long> timeoutMs;
    std::optional<long long> retries;

    // For the commands that take them.
    bool erd = false;
    bool input = false;
    bool swap = false;
    bool wait = false;
    bool append = false;
    std::optional<long long> count;
    std::optional<long long> pauseSeconds;
    std::optional<std::string> csv;
    long long from = 1;
    long long to = 247;
    std::vector<int> stations;
    long long intervalMs = 1000;
    std::optional<long long> program;
    // Commands that record results: the part tested and who tested it.
    std::optional<std::string> partId;
    std::optional<std::string> operatorName;
    // history
    std::optional<long long> batch;
    std::optional<long long> sinceMs;
    bool csvOut = false;
    // spc and gauge
    std::optional<std::string> valuesFile;
    std::optional<double> usl;
    std::optional<double> lsl;
    std::optional<double> reference;
    std::optional<double> tolerance;
};

// What the command line asks for: run a command, or stop at once with an exit status (help,
// version, or a refused line whose message is already written).
struct ParsedLine {
    std::optional<CliOptions> options;
    int exitStatus = 0;
};

// Parses argv; help and version go to out, refusals ("vexlo-cli: ...") to err.
ParsedLine ParseCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace vexlo::cli
