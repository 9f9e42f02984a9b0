#include "console/CycleSequencer.h"

#include <climits>

#include "common/MonotonicClock.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "instrument/ParameterAccess.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

std::int32_t CycleSequencer::nextProgram = 0;
std::int32_t CycleSequencer::lastShownSeconds = 0;

void CycleSequencer::SwitchOn() { sequencerState = Arm; }

void CycleSequencer::ResetCounts() {
    cycleCount = 0;
    startOk = 0;
    startedOkCount = 0;
}

void CycleSequencer::TraceUptime(const char* format) {
    host.AppendTraceLine(FormatText(format, CurrentClock().TickCountMs() * 0.001));
}

std::int32_t CycleSequencer::RunSequencerStep() {
    switch (sequencerState) {
        case Arm:
            StepArm();
            break;
        case WaitingReady:
            StepWaitingReady();
            break;
        case ProgramSelected:
            StepProgramSelected();
            break;
        case WaitingEndOfCycle:
            StepWaitingEndOfCycle();
            break;
        case CycleReport:
            StepCycleReport();
            break;
        case InterCycleWait:
            StepInterCycleWait();
            break;
        default:
            break;
    }
    return sequencerState;
}

void CycleSequencer::StepArm() {
    sequencerState = WaitingReady;
    countdown.Arm(kReadyTimeoutMs);
    host.AppendTraceLine("********************************************* ");
    TraceUptime("<%.3f> (s)");
    host.AppendTraceLine(" *** Waiting Ready 4 sec***");
}

void CycleSequencer::StepWaitingReady() {
    // While reads fail the readiness time-out is not checked: the sequencer waits for the line.
    if (host.Device().ReadStatus(host.SharedStatus()) != kDeviceOk) return;
    if (host.SharedStatus().EndOfCycle()) {
        host.AppendTraceLine(" Ok Ready !!!!");
        TraceUptime("<%.3f> (s)");
        sequencerState = CycleReport;
        host.AppendTraceLine("--");
        host.AppendTraceLine(" *** Select prog ***");
        nextProgram = host.ProgramAfter(nextProgram);
        host.SetRunningProgramEntry(FormatText("%d", nextProgram));
        ++cycleCount;
        if (SelectRunningProgram(host.Device(), nextProgram - 1, nullptr) == kDeviceOk) {
            host.TraceExchange(kDeviceOk);
            sequencerState = ProgramSelected;
            countdown.Arm(kSettleMs);
        } else {
            host.TraceExchange(kDeviceFailed);
        }
        return;
    }
    if (countdown.Remaining() > 0) return;
    host.AppendTraceLine(" *** Not Ready ***");
    sequencerState = InterCycleWait;
}

void CycleSequencer::StepProgramSelected() {
    if (countdown.Remaining() > 0) return;
    host.AppendTraceLine(" *** Start prog ***");
    cycleStopwatch.Start();
    sequencerState = CycleReport;
    host.StartCommand();
    if (startOk == 1) {
        ++startedOkCount;
        sequencerState = WaitingEndOfCycle;
        countdown.Arm(kCycleTimeoutMs);
        host.AppendTraceLine("*** Waiting EOC 10 sec ***");
    }
}

void CycleSequencer::StepWaitingEndOfCycle() {
    if (host.Device().ReadStatus(host.SharedStatus()) != kDeviceOk) {
        sequencerState = CycleReport;
        return;
    }
    // The time-out is tested before the end-of-cycle bit.
    if (countdown.Remaining() == 0) {
        host.AppendTraceLine("*** Timeout cycle ***");
        sequencerState = CycleReport;
        return;
    }
    const StatusRecord& status = host.SharedStatus();
    if (!status.EndOfCycle()) return;
    cycleStopwatch.Stop();
    host.EndOfCycleSeen();
    host.AppendTraceLine(FormatText("Cycle time = %5lu(ms)", static_cast<unsigned long>(cycleStopwatch.Elapsed())));
    if (!host.ReadFifoChecked()) {
        sequencerState = CycleReport;
        return;
    }
    host.AppendTraceLine("--");
    host.SetRunningProgramDisplay(FormatText("%d", status.RunningProgram()));
    host.AppendTraceLine("*** Read fifo ***");
    host.SetFifoCount(status.FifoCount());
    host.ReadCycleResult();
    host.AppendTraceLine("*** EOC ***");
    sequencerState = CycleReport;
}

void CycleSequencer::StepCycleReport() {
    host.AppendTraceLine("-----------------------------------");
    host.AppendTraceLine(FormatText("Nb cycle = %d, Nb Started OK = %d", cycleCount, startedOkCount));
    host.AppendTraceLine("-----------------------------------");
    int seconds = ParseLeadingInt(host.InterCycleText());
    if (seconds < 0) seconds = 1;
    // A pause typed beyond what the millisecond countdown can hold waits as long as it can.
    if (seconds > INT32_MAX / 1000) seconds = INT32_MAX / 1000;
    countdown.Arm(seconds * 1000);
    TraceUptime(" -> <%.3f> (s)");
    sequencerState = InterCycleWait;
}

void CycleSequencer::StepInterCycleWait() {
    const std::int32_t left = countdown.Remaining();
    const std::int32_t seconds = left / 1000;
    if (left == 0) {
        sequencerState = Arm;
        countdown.Arm(1000);
        TraceUptime(" -> <%.3f> (s)");
        host.AppendTraceLine(FormatText("-> Next programm  !!! in %d (sec)", seconds));
    }
    if (seconds != lastShownSeconds) {
        lastShownSeconds = seconds;
        host.AppendTraceLine(FormatText(" >>>  %d sec", seconds));
    }
}

}  // namespace vexlo
