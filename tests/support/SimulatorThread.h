#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "simulator/FaultPlan.h"
#include "simulator/InstrumentModel.h"
#include "simulator/PseudoTerminal.h"
#include "simulator/RtuSlave.h"
#include "simulator/SlaveProtocol.h"

namespace vexlo::test {

// The simulated instrument serving a pseudo-terminal from a thread of the test process.
class SimulatorThread {
public:
    explicit SimulatorThread(sim::SlaveIdentity identity = {}, sim::InstrumentConfig config = {},
                             std::vector<sim::FaultRule> faults = {}, sim::LineTiming timing = {});
    ~SimulatorThread();
    const std::string& PortPath() const { return pty.SlavePath(); }
    // Only while the caller knows the slave is idle (between transactions of the master).
    sim::InstrumentModel& Model() { return model; }

private:
    PseudoTerminal pty;
    sim::InstrumentModel model;
    sim::SlaveProtocol protocol;
    sim::FaultPlan faults;
    sim::RtuSlave slave;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

}  // namespace vexlo::test
