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

// The simulated instrument serving a pseudo-terminal from a thread of the calling process.
class SimulatorThread {
public:
    enum class Time { Real, ByHand };

    explicit SimulatorThread(sim::SlaveIdentity identity = {}, sim::InstrumentConfig config = {},
                             std::vector<sim::FaultRule> faults = {}, sim::LineTiming timing = {},
                             Time time = Time::Real);
    ~SimulatorThread();
    SimulatorThread(const SimulatorThread&) = delete;
    SimulatorThread& operator=(const SimulatorThread&) = delete;

    const std::string& PortPath() const { return pty.SlavePath(); }
    // Only while the caller knows the slave is idle (between transactions of the master).
    sim::InstrumentModel& Model() { return model; }
    // With Time::ByHand the instrument's cycle moves only by this.
    void AdvanceMs(std::int64_t milliseconds) { instrumentMs += milliseconds; }

private:
    PseudoTerminal pty;
    sim::InstrumentModel model;
    sim::SlaveProtocol protocol;
    sim::FaultPlan faults;
    sim::RtuSlave slave;
    std::atomic<std::int64_t> instrumentMs{0};
    std::atomic<bool> stopping{false};
    std::thread worker;
};

}  // namespace vexlo::test
