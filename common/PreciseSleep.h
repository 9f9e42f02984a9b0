#pragma once

#include <cstdint>

namespace vexlo {

// Sleeps until the steady clock (in nanoseconds since its epoch) reaches the value: on an absolute
// deadline, so that a wake-up that comes late never adds up, with the thread's timer slack at its
// lowest so that it comes within microseconds.
void SleepUntilSteady(std::int64_t nanoseconds);

}  // namespace vexlo
