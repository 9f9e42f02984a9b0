#include "cli/CliOptions.h"

namespace vexlo::cli {
namespace {

const std::set<std::string> kFlags = {"--erd", "--input", "--swap", "--read-fifo", "--trace", "--json", "--help"};
const std::set<std::string> kValued = {"--port", "--station", "--access", "--count", "--pause", "--csv"};

}  // namespace

std::optional<std::string> CliOptions::Value(const std::string& name) const {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

const std::vector<CommandHelp>& Commands() {
    static const std::vector<CommandHelp> commands = {
        {"status", "status", "read the real-time status", 0, 0},
        {"last-result", "last-result [--erd]", "read and decode the last result", 0, 0},
        {"fifo", "fifo [--erd]", "read and decode the oldest result of the FIFO", 0, 0},
        {"start", "start", "start a test cycle", 0, 0},
        {"reset", "reset", "reset the cycle", 0, 0},
        {"clear-fifo", "clear-fifo", "empty the result FIFO", 0, 0},
        {"read", "read ADDR [COUNT] [--input]", "read COUNT (1 to 128) registers at the hexadecimal ADDR", 1, 2},
        {"write-word", "write-word ADDR VALUE [--swap]", "write one register (low 16 bits of VALUE)", 2, 2},
        {"write-long", "write-long ADDR VALUE", "write a 32-bit VALUE as two registers", 2, 2},
        {"write-coil", "write-coil ADDR", "switch the coil at ADDR on", 1, 1},
        {"search", "search", "find the station number of the instrument", 0, 0},
        {"read-time", "read-time PROG", "list the cycle times and reject limits of program PROG (1 to 8)", 1, 1},
        {"select-prog", "select-prog PROG", "make PROG the program the next cycle runs", 1, 1},
        {"read-id", "read-id PROG ID", "read parameter number ID of program PROG", 2, 2},
        {"write-id", "write-id PROG ID VALUE", "write VALUE to parameter number ID of program PROG", 3, 3},
        {"curves", "curves", "list the two curve descriptions", 0, 0},
        {"cycle", "cycle [--count N] [--read-fifo] [--pause S] [--csv FILE]",
         "run test cycles unattended, programs 1 and 2 in turn", 0, 0},
    };
    return commands;
}

const CommandHelp* FindCommand(const std::string& name) {
    for (const auto& command : Commands()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string GeneralHelp() {
    std::string text =
        "usage: vexlo-cli COMMAND [ARGUMENTS] [OPTIONS]\n\n"
        "The Modbus RTU master of the VEXLO Modbus tester on the command line: the same frames, trace\n"
        "lines and result texts as the console.\n\nCommands:\n";
    for (const auto& command : Commands()) {
        std::string usage = command.usage;
        if (usage.size() < 40) usage.resize(40, ' ');
        text += "  " + usage + " " + command.summary + "\n";
    }
    text +=
        "\nOptions (any command):\n"
        "  --port COMn|DEVICE|tcp://HOST:PORT|rfc2217://HOST:PORT   the port (default: the INI file's)\n"
        "  --station N          station 1 to 255 (default: the INI file's)\n"
        "  --access standard|direct   register map (default: the INI file's)\n"
        "  --trace              print the \"<S>:\" and \"<R>:\" lines of every exchange\n"
        "  --json               print results as JSON\n"
        "  --help               this text, or a command's with the command\n\n"
        "Exit status: 0 done, 1 a transaction failed, 2 bad usage or entry.\n"
        "Settings come from VexloModbusTester.ini and Serial.cfg of the current directory.\n";
    return text;
}

std::string CommandUsage(const CommandHelp& command) {
    return std::string("usage: vexlo-cli ") + command.usage + "\n  " + command.summary + "\n";
}

ParsedLine ParseCommandLine(const std::vector<std::string>& words) {
    CliOptions options;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) == 0) {
            const auto equals = word.find('=');
            const std::string name = word.substr(0, equals);
            if (kFlags.count(name) && equals == std::string::npos) {
                options.flags.insert(name);
            } else if (kValued.count(name)) {
                if (equals != std::string::npos) {
                    options.values[name] = word.substr(equals + 1);
                } else if (i + 1 < words.size()) {
                    options.values[name] = words[++i];
                } else {
                    return {std::nullopt, name + " needs a value"};
                }
            } else {
                return {std::nullopt, "unknown option " + word};
            }
        } else if (options.command.empty()) {
            options.command = word;
        } else {
            options.arguments.push_back(word);
        }
    }
    if (options.command.empty()) {
        if (options.Has("--help")) return {options, ""};
        return {std::nullopt, "no command"};
    }
    const CommandHelp* command = FindCommand(options.command);
    if (command == nullptr) return {std::nullopt, "unknown command " + options.command};
    if (!options.Has("--help")) {
        const int count = static_cast<int>(options.arguments.size());
        if (count < command->minArguments || count > command->maxArguments) {
            return {std::nullopt, std::string("wrong number of arguments\n") + CommandUsage(*command)};
        }
    }
    return {options, ""};
}

}  // namespace vexlo::cli
