#include <windows.h>

#include <chrono>
#include <thread>

#include "common/PreciseSleep.h"

namespace vexlo {

void SleepUntilSteady(std::int64_t nanoseconds) {
    // Windows sleeps in scheduler ticks: sleep what whole milliseconds allow, the caller spins the rest.
    const auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds));
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left > std::chrono::milliseconds(2)) std::this_thread::sleep_for(left - std::chrono::milliseconds(1));
}

}  // namespace vexlo
