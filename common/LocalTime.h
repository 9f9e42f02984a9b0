#pragma once

#include <ctime>

namespace vexlo {

// The broken-down local time of a moment, by the thread-safe call each platform has.
inline std::tm LocalTime(std::time_t seconds) {
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local;
}

}  // namespace vexlo
