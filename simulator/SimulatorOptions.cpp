#include "simulator/SimulatorOptions.h"

#include <cstdlib>

#include "common/TextParse.h"

namespace vexlo::sim {
namespace {

bool ParseLong(const std::string& text, long low, long high, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

}  // namespace

std::string SimulatorUsage() {
    return "usage: vexlo-sim [options]\n"
           "Simulated leak-test instrument on a pseudo-terminal; prints the port path first.\n"
           "  --station LIST     station numbers, 1 to 255, such as 3 or 3,17 or 1-4: one instrument\n"
           "                     each, with its own state, results and cycle (default 1)\n"
           "  --any-station      answer every station number\n"
           "  --speed F          cycle speed factor, 10 runs cycles ten times faster (default 1)\n"
           "  --fifo N           results waiting in the FIFO at start (default 0)\n"
           "  --block-size L     bytes in one program's parameter block (default 300)\n"
           "  --baud B           send replies at the pace of B baud, 11 bits a character\n"
           "  --turnaround MS    pause before each reply (default 0)\n"
           "  --fault RULE       kind[:rate][@address]; kinds noreply, truncate, badcrc, exception,\n"
           "                     otherstation, pause, garbage (repeatable)\n"
           "  --pause-ms MS      length of the 'pause' fault inside a reply (default 80)\n"
           "  --seed N           seed for measured leaks and fault rates (default 1)\n"
           "  --link PATH        also place a symbolic link to the port at PATH\n"
           "  --help             this text\n";
}

std::optional<SimulatorOptions> ParseSimulatorOptions(const std::vector<std::string>& arguments, std::string* error) {
    SimulatorOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.showHelp = true;
            continue;
        }
        if (option == "--any-station") {
            options.identity.answerAllStations = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            *error = option.rfind("--", 0) == 0 ? option + " needs a value" : "unknown option " + option;
            return std::nullopt;
        }
        const std::string& value = arguments[++i];
        long number = 0;
        if (option == "--station") {
            const auto stations = ParseNumberList(value, 1, 255);
            if (!stations) return *error = "--station takes station numbers 1 to 255, such as 3 or 3,17", std::nullopt;
            options.stations = *stations;
            options.identity.station = static_cast<std::uint8_t>(stations->front());
        } else if (option == "--speed") {
            char* end = nullptr;
            const double speed = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(speed > 0.0 && speed <= 1000.0)) {
                return *error = "--speed takes a factor above 0 and up to 1000", std::nullopt;
            }
            options.instrument.speed = speed;
        } else if (option == "--fifo") {
            if (!ParseLong(value, 0, 64, &number)) return *error = "--fifo takes 0 to 64", std::nullopt;
            options.instrument.initialFifoResults = static_cast<int>(number);
        } else if (option == "--block-size") {
            if (!ParseLong(value, 2, 492, &number)) return *error = "--block-size takes 2 to 492", std::nullopt;
            options.instrument.blockSizeBytes = static_cast<std::uint16_t>(number);
        } else if (option == "--baud") {
            if (!ParseLong(value, 300, 921600, &number)) return *error = "--baud takes 300 to 921600", std::nullopt;
            options.timing.paceBaud = static_cast<std::uint32_t>(number);
        } else if (option == "--turnaround") {
            if (!ParseLong(value, 0, 10000, &number)) return *error = "--turnaround takes 0 to 10000 ms", std::nullopt;
            options.timing.turnaroundMs = static_cast<int>(number);
        } else if (option == "--pause-ms") {
            if (!ParseLong(value, 1, 10000, &number)) return *error = "--pause-ms takes 1 to 10000", std::nullopt;
            options.pauseMs = static_cast<int>(number);
        } else if (option == "--seed") {
            if (!ParseLong(value, 0, 0x7FFFFFFF, &number)) return *error = "--seed takes a whole number", std::nullopt;
            options.instrument.seed = static_cast<std::uint32_t>(number);
        } else if (option == "--fault") {
            const auto rule = FaultPlan::ParseRule(value, error);
            if (!rule) return std::nullopt;
            options.faults.push_back(*rule);
        } else if (option == "--link") {
            options.linkPath = value;
        } else {
            *error = "unknown option " + option;
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace vexlo::sim
