#include "history/LiveTrend.h"

namespace vexlo {

void LiveTrend::Add(std::int64_t timeMs, double measure1, double measure2) {
    // A clock that went back (the sample before is newer) restarts the trend rather than folding it.
    if (!samples.empty() && timeMs < samples.back().timeMs) samples.clear();
    samples.push_back({timeMs, measure1, measure2});
    Expire(timeMs);
}

void LiveTrend::Expire(std::int64_t nowMs) {
    while (!samples.empty() && samples.front().timeMs < nowMs - kSpanMs) samples.pop_front();
}

}  // namespace vexlo
