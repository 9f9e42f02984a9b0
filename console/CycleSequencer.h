#pragma once

#include <cstdint>
#include <string>

#include "instrument/DeviceStatus.h"
#include "instrument/Records.h"
#include "modbus/CountdownTimer.h"

namespace vexlo {

class TesterDevice;

// What the sequencer uses of the console it runs in.
class SequencerHost {
public:
    virtual ~SequencerHost() = default;
    virtual TesterDevice& Device() = 0;
    virtual StatusRecord& SharedStatus() = 0;
    virtual void SetFifoCount(std::uint32_t count) = 0;
    virtual void AppendTraceLine(const std::string& line) = 0;
    virtual void TraceExchange(DeviceStatus status) = 0;
    virtual void StartCommand() = 0;
    virtual void ReadFifoCommand() = 0;
    virtual bool ReadFifoChecked() const = 0;
    virtual std::string InterCycleText() const = 0;
    virtual void SetRunningProgramEntry(const std::string& text) = 0;
    virtual void SetRunningProgramDisplay(const std::string& text) = 0;
    // The cycle the sequencer started has ended: the next result of the line is a new part.
    virtual void EndOfCycleSeen() {}
    // Reads the ended cycle's result from the FIFO.
    virtual void ReadCycleResult() { ReadFifoCommand(); }
    // The program of the next cycle after the previous one (0 before the first): 1 and 2 in turn.
    virtual std::int32_t ProgramAfter(std::int32_t previous) const { return previous == 1 ? 2 : 1; }
};

// Runs test cycles without the operator, one step per console tick: waits until the instrument is
// ready, selects program 1 or 2 in turn, starts the cycle, waits for its end, optionally reads the
// result from the FIFO, reports the counts and pauses.
class CycleSequencer {
public:
    enum State : std::int32_t {
        Off = 0,
        Arm = 1,
        WaitingReady = 2,
        ProgramSelected = 3,
        WaitingEndOfCycle = 4,
        CycleReport = 5,
        InterCycleWait = 6,
    };
    static constexpr std::int32_t kReadyTimeoutMs = 4000;
    static constexpr std::int32_t kSettleMs = 500;
    static constexpr std::int32_t kCycleTimeoutMs = 10000;

    explicit CycleSequencer(SequencerHost& host) : host(host) {}

    // "Running (P1/P2)" pressed: on starts at state 1 (the caller clears the FIFO and the counts).
    void SwitchOn();
    void SwitchOff() { sequencerState = Off; }
    void ResetCounts();
    std::int32_t RunSequencerStep();

    State sequencerState = Off;
    std::int32_t cycleCount = 0;
    std::int32_t startOk = 0;
    std::int32_t startedOkCount = 0;

    // Kept for the life of the process, across off and on.
    static std::int32_t nextProgram;
    static std::int32_t lastShownSeconds;

private:
    void StepArm();
    void StepWaitingReady();
    void StepProgramSelected();
    void StepWaitingEndOfCycle();
    void StepCycleReport();
    void StepInterCycleWait();
    void TraceUptime(const char* format);

    SequencerHost& host;
    CountdownTimer countdown;
    Stopwatch cycleStopwatch;
};

}  // namespace vexlo
