#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace vexlo::test {

// Sets TZ for the test's lifetime and gives back what was there before.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous = old;
        Set(zone);
    }
    ~ScopedTimeZone() { Set(previous ? previous->c_str() : nullptr); }

private:
    static void Set(const char* zone) {
#if defined(_WIN32)
        _putenv_s("TZ", zone ? zone : "");
        _tzset();
#else
        zone ? setenv("TZ", zone, 1) : unsetenv("TZ");
        tzset();
#endif
    }
    std::optional<std::string> previous;
};

}  // namespace vexlo::test
