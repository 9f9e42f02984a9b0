#include "simulator/harness/SimulatorThread.h"

namespace vexlo::test {

SimulatorThread::SimulatorThread(sim::SlaveIdentity identity, sim::InstrumentConfig config,
                                 std::vector<sim::FaultRule> rules, sim::LineTiming timing, Time time)
    : model(config), protocol(model, identity), slave(pty.MasterFd(), protocol, faults, timing) {
    for (const auto& rule : rules) faults.Add(rule);
    slave.SetAnswerLock(&modelLock);
    if (time == Time::ByHand) slave.SetInstrumentClock([this] { return instrumentMs.load(); });
    worker = std::thread([this] { slave.Run(stopping); });
}

SimulatorThread::~SimulatorThread() {
    stopping = true;
    worker.join();
}

}  // namespace vexlo::test
