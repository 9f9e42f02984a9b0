#include "modbus/CountdownTimer.h"

#include "common/MonotonicClock.h"

namespace vexlo {

void CountdownTimer::Arm(std::int32_t newDuration) {
    MonotonicClock& clock = CurrentClock();
    ticksPerUnit = (clock.PerformanceFrequency() / 1000) * unitScale;
    if (ticksPerUnit <= 0) ticksPerUnit = 1;
    duration = newDuration;
    start = clock.PerformanceCounter();
    armed = newDuration > 0;
}

std::int32_t CountdownTimer::Remaining() {
    if (!armed) return 0;
    const std::int64_t left = duration - (CurrentClock().PerformanceCounter() - start) / ticksPerUnit;
    if (left < 0) {
        armed = false;
        return 0;
    }
    return static_cast<std::int32_t>(left);
}

std::optional<std::int64_t> CountdownTimer::Deadline() const {
    if (!armed) return std::nullopt;
    return start + static_cast<std::int64_t>(duration) * ticksPerUnit;
}

void Stopwatch::Start() { start = CurrentClock().TickCountMs(); }

void Stopwatch::Stop() { stop = CurrentClock().TickCountMs(); }

}  // namespace vexlo
