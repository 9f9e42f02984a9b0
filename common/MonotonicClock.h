#pragma once

#include <cstdint>

namespace vexlo {

// The time sources of the link and the console: a high-resolution counter with its frequency, the
// system tick count in milliseconds, and the two ways of waiting the gap timer uses. Tests install
// a manual clock so that time-driven logic runs without sleeping.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual std::int64_t PerformanceCounter() = 0;
    virtual std::int64_t PerformanceFrequency() = 0;
    // Milliseconds since an arbitrary start, truncated to 32 bits (wraps after 49.7 days).
    virtual std::uint32_t TickCountMs() = 0;
    virtual void SleepMs(int milliseconds) = 0;
    // Sleeps until the performance counter reaches the value (returns at once when it has).
    virtual void SleepUntil(std::int64_t counter) = 0;
    // One turn of a busy wait.
    virtual void Relax() = 0;
};

// The process-wide clock: the steady clock unless a test installed another (nullptr restores it).
MonotonicClock& CurrentClock();
void SetClock(MonotonicClock* clock);

}  // namespace vexlo
