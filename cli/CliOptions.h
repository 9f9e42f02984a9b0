#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vexlo::cli {

// The command line of vexlo-cli: a command, its arguments, and options anywhere on the line.
struct CliOptions {
    std::string command;
    std::vector<std::string> arguments;
    std::set<std::string> flags;                // --erd, --input, --swap, --read-fifo, --trace, --json, --help
    std::map<std::string, std::string> values;  // --port, --station, --access, --count, --pause, --csv

    bool Has(const std::string& flag) const { return flags.count(flag) > 0; }
    std::optional<std::string> Value(const std::string& name) const;
};

// The options, or the reason the line is not one.
struct ParsedLine {
    std::optional<CliOptions> options;
    std::string error;
};
ParsedLine ParseCommandLine(const std::vector<std::string>& words);

// The commands, each with its arguments and what it does, for --help.
struct CommandHelp {
    const char* name;
    const char* usage;
    const char* summary;
    int minArguments;
    int maxArguments;
};
const std::vector<CommandHelp>& Commands();
const CommandHelp* FindCommand(const std::string& name);
std::string GeneralHelp();
std::string CommandUsage(const CommandHelp& command);

}  // namespace vexlo::cli
