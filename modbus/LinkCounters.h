#pragma once

#include <cstdint>

namespace vexlo {

// The master's six counters, in the order the console reads them.
struct LinkCounters {
    std::int32_t requests = 0;
    std::int32_t errors = 0;
    std::int32_t crcErrors = 0;
    std::int32_t timeouts = 0;
    std::int32_t negativeResponses = 0;
    std::int32_t spare = 0;  // never advanced; shown after the negative responses

    bool operator==(const LinkCounters&) const = default;
};

}  // namespace vexlo
