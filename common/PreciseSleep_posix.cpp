#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

#include "common/PreciseSleep.h"

namespace vexlo {

void SleepUntilSteady(std::int64_t nanoseconds) {
    // The default slack of 50 microseconds would be most of what is left to spin; ask for the least.
    thread_local const bool slackLowered = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)slackLowered;
    const timespec deadline{static_cast<time_t>(nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

}  // namespace vexlo
