#pragma once

#include <cstdint>
#include <optional>

namespace vexlo {

// Millisecond countdown on the high-resolution counter. Polled: nothing calls back.
class CountdownTimer {
public:
    // Restarts the countdown; a duration of 0 or less disarms it.
    void Arm(std::int32_t duration);
    // Milliseconds left; 0 when disarmed or once the duration has run out (then it stays 0).
    std::int32_t Remaining();
    // The counter value at which Remaining first gives 0; nothing when disarmed.
    std::optional<std::int64_t> Deadline() const;

private:
    std::int64_t start = 0;
    std::int64_t ticksPerUnit = 1;
    std::int32_t unitScale = 1;
    std::int32_t duration = 0;
    bool armed = false;
};

// Elapsed milliseconds between two stamps of the system tick count; right across a 32-bit wrap.
class Stopwatch {
public:
    void Start();
    void Stop();
    std::uint32_t Elapsed() const { return stop - start; }

private:
    std::uint32_t start = 0;
    std::uint32_t stop = 0;
};

}  // namespace vexlo
