#include "common/LocalTimestamp.h"

#include <cctype>
#include <ctime>

#include "common/LocalTime.h"
#include "common/TextFormat.h"

namespace vexlo {
namespace {

// Seconds east of UTC of the local time at that moment.
long UtcOffsetSeconds(std::time_t seconds) {
    std::tm local = LocalTime(seconds);
#if defined(_WIN32)
    std::tm utc{};
    gmtime_s(&utc, &seconds);
    utc.tm_isdst = local.tm_isdst;
    return static_cast<long>(std::difftime(std::mktime(&local), std::mktime(&utc)));
#else
    return local.tm_gmtoff;
#endif
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(year, 400);
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// Reads exactly count digits at text[at]; -1 when they are not all digits.
int Digits(const std::string& text, std::size_t at, int count) {
    if (at + static_cast<std::size_t>(count) > text.size()) return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + static_cast<std::size_t>(i)];
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::string LocalTimestamp(std::int64_t timeMs) {
    const std::int64_t seconds = FloorDiv(timeMs, 1000);
    const std::tm local = LocalTime(static_cast<std::time_t>(seconds));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return FormatText("%s.%03d", text, static_cast<int>(timeMs - seconds * 1000));
}

std::string IsoTimestamp(std::int64_t timeMs) {
    const std::int64_t seconds = FloorDiv(timeMs, 1000);
    const std::tm local = LocalTime(static_cast<std::time_t>(seconds));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = UtcOffsetSeconds(static_cast<std::time_t>(seconds));
    const long magnitude = offset < 0 ? -offset : offset;
    return FormatText("%s.%03d%c%02ld:%02ld", text, static_cast<int>(timeMs - seconds * 1000), offset < 0 ? '-' : '+',
                      magnitude / 3600, magnitude / 60 % 60);
}

std::optional<std::int64_t> ParseIsoTimestamp(const std::string& text) {
    const int year = Digits(text, 0, 4);
    const int month = Digits(text, 5, 2);
    const int day = Digits(text, 8, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    std::size_t at = 10;
    if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
        hour = Digits(text, at + 1, 2);
        minute = Digits(text, at + 4, 2);
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || text[at + 3] != ':') return std::nullopt;
        at += 6;
        if (at < text.size() && text[at] == ':') {
            second = Digits(text, at + 1, 2);
            if (second < 0 || second > 60) return std::nullopt;
            at += 3;
            if (at < text.size() && text[at] == '.') {
                int scale = 100;
                ++at;
                const std::size_t first = at;
                while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
                    millisecond += (text[at] - '0') * scale;
                    scale /= 10;
                    ++at;
                }
                if (at == first) return std::nullopt;
            }
        }
    }
    const std::int64_t civilMs =
        ((DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 24 + hour) * 60 + minute) *
            60000 +
        second * 1000 + millisecond;
    if (at == text.size()) {
        // Local time: the offset of that moment, found from a first guess at it.
        std::tm parts{};
        parts.tm_year = year - 1900;
        parts.tm_mon = month - 1;
        parts.tm_mday = day;
        parts.tm_hour = hour;
        parts.tm_min = minute;
        parts.tm_sec = second;
        parts.tm_isdst = -1;
        const std::time_t seconds = std::mktime(&parts);
        if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
        return static_cast<std::int64_t>(seconds) * 1000 + millisecond;
    }
    if (text[at] == 'Z' && at + 1 == text.size()) return civilMs;
    if (text[at] != '+' && text[at] != '-') return std::nullopt;
    const int sign = text[at] == '-' ? -1 : 1;
    const int offsetHours = Digits(text, at + 1, 2);
    std::size_t minutesAt = at + 3;
    if (minutesAt < text.size() && text[minutesAt] == ':') ++minutesAt;
    const int offsetMinutes = Digits(text, minutesAt, 2);
    if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59 ||
        minutesAt + 2 != text.size()) {
        return std::nullopt;
    }
    return civilMs - sign * (offsetHours * 60 + offsetMinutes) * 60000LL;
}

}  // namespace vexlo
