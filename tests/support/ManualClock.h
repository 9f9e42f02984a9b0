#pragma once

#include <algorithm>
#include <cstdint>

#include "common/MonotonicClock.h"

namespace vexlo::test {

// A clock that moves only when told to (or when the code under test sleeps or spins on it).
// Installs itself as the process clock for its lifetime.
class ManualClock final : public MonotonicClock {
public:
    ManualClock() { SetClock(this); }
    ~ManualClock() override { SetClock(nullptr); }

    void AdvanceMs(std::int64_t milliseconds) { nowUs += milliseconds * 1000; }
    void AdvanceUs(std::int64_t microseconds) { nowUs += microseconds; }
    void SetTickCountMs(std::uint32_t ms) { nowUs = static_cast<std::int64_t>(ms) * 1000; }
    std::int64_t NowUs() const { return nowUs; }

    std::int64_t PerformanceCounter() override { return nowUs; }
    std::int64_t PerformanceFrequency() override { return 1000000; }
    std::uint32_t TickCountMs() override { return static_cast<std::uint32_t>(nowUs / 1000); }
    void SleepMs(int milliseconds) override { AdvanceMs(milliseconds); }
    void SleepUntil(std::int64_t counter) override { nowUs = std::max(nowUs, counter); }
    void Relax() override { AdvanceUs(100); }

private:
    std::int64_t nowUs = 1000000;
};

}  // namespace vexlo::test
