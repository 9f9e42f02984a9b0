#include "common/MonotonicClock.h"

#include "common/PreciseSleep.h"

#include <chrono>
#include <thread>

namespace vexlo {
namespace {

class SteadyClock final : public MonotonicClock {
public:
    std::int64_t PerformanceCounter() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::int64_t PerformanceFrequency() override { return 1000000000; }
    std::uint32_t TickCountMs() override {
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
    void SleepMs(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
    void SleepUntil(std::int64_t counter) override { SleepUntilSteady(counter); }
    void Relax() override {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
};

MonotonicClock* installed = nullptr;

}  // namespace

MonotonicClock& CurrentClock() {
    static SteadyClock steady;
    return installed != nullptr ? *installed : steady;
}

void SetClock(MonotonicClock* clock) { installed = clock; }

}  // namespace vexlo
