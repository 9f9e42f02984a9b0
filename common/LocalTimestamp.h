#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexlo {

// "YYYY-MM-DD hh:mm:ss.mmm" of local time, for logs and screens.
std::string LocalTimestamp(std::int64_t timeMs);

// ISO 8601 local time with its UTC offset, "YYYY-MM-DDThh:mm:ss.mmm+hh:mm": what is stored and
// exported, so a time read elsewhere or after a change of time zone still names one moment.
std::string IsoTimestamp(std::int64_t timeMs);

// Milliseconds since the epoch of an ISO 8601 time: "YYYY-MM-DD", "YYYY-MM-DDThh:mm[:ss[.fff]]"
// (a space is taken for the T), followed by "Z", "+hh:mm", "-hh:mm", "+hhmm" or nothing (local
// time). Nothing for any other text.
std::optional<std::int64_t> ParseIsoTimestamp(const std::string& text);

}  // namespace vexlo
