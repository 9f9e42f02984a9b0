#pragma once

#include <cstdint>
#include <deque>

namespace vexlo {

// The two measures of the real-time status over the last minute, for the live trend. Times are
// those of the caller's clock, so the window can be tested on a clock of its own.
class LiveTrend {
public:
    static constexpr std::int64_t kSpanMs = 60000;

    struct Sample {
        std::int64_t timeMs;
        double measure1;
        double measure2;
    };

    // Samples come in time order; each one drops those older than the span before it.
    void Add(std::int64_t timeMs, double measure1, double measure2);
    // Drops what is older than the span before now: the trend empties when the polling stops.
    void Expire(std::int64_t nowMs);
    const std::deque<Sample>& Samples() const { return samples; }
    void Clear() { samples.clear(); }

private:
    std::deque<Sample> samples;
};

}  // namespace vexlo
