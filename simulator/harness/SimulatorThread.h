#pragma once

#include <atomic>
#include <memory>
#include <mutex>
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
    // The model, held between two answers of the slave: the access is ordered after the last answer
    // and before the next, as ThreadSanitizer can see. Keep it only for the statement that uses it.
    class LockedModel {
    public:
        LockedModel(std::mutex& lock, sim::InstrumentModel& model) : guard(lock), model(model) {}
        sim::InstrumentModel* operator->() const { return &model; }

    private:
        std::lock_guard<std::mutex> guard;
        sim::InstrumentModel& model;
    };
    LockedModel Locked() { return {modelLock, model}; }
    // With Time::ByHand the instrument's cycle moves only by this.
    void AdvanceMs(std::int64_t milliseconds) { instrumentMs += milliseconds; }

private:
    PseudoTerminal pty;
    sim::InstrumentModel model;
    sim::SlaveProtocol protocol;
    sim::FaultPlan faults;
    sim::RtuSlave slave;
    std::mutex modelLock;
    std::atomic<std::int64_t> instrumentMs{0};
    std::atomic<bool> stopping{false};
    std::thread worker;
};

}  // namespace vexlo::test
