#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "instrument/Records.h"

namespace vexlo {

// The lines of a decoded result: 12, or 25 with the ERD values.
std::vector<std::string> ResultLines(const ResultRecord& result, bool withErd);
// Which of them is the heading of the relay bits ("Image of the relays:").
inline constexpr std::size_t kRelayHeadingLine = 2;

// The status block as thirteen "%04x" registers, the console's status text after a poll.
std::string StatusRegisterLine(const StatusRecord& status);

// A status measure and the text of its unit field, as the status display shows them.
std::string MeasureText(std::int32_t measure);
std::string MeasureUnitText(std::int32_t unitField);

}  // namespace vexlo
