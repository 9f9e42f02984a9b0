#pragma once

#include <optional>
#include <string>
#include <vector>

#include "simulator/FaultPlan.h"
#include "simulator/InstrumentModel.h"
#include "simulator/RtuSlave.h"
#include "simulator/SlaveProtocol.h"

namespace vexlo::sim {

struct SimulatorOptions {
    SlaveIdentity identity;
    std::vector<int> stations{1};  // each served by an instrument of its own
    InstrumentConfig instrument;
    LineTiming timing;
    std::vector<FaultRule> faults;
    int pauseMs = 80;
    std::string linkPath;
    bool showHelp = false;
};

// Parses the command line of vexlo-sim; on a bad option returns nothing and the reason.
std::optional<SimulatorOptions> ParseSimulatorOptions(const std::vector<std::string>& arguments, std::string* error);
std::string SimulatorUsage();

}  // namespace vexlo::sim
