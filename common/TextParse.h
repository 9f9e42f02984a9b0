#pragma once

#include <optional>
#include <string>

namespace vexlo {

// The standard atoi conversion without its undefined overflow: leading white space, an optional
// sign, then decimal digits up to the first other character; no digit gives 0. Out-of-range values
// wrap to 32 bits like the usual C runtime does.
int ParseLeadingInt(const std::string& text);

// A whole decimal integer as a dialog's entry check accepts it: blanks around, an optional sign,
// digits and nothing else. Nothing for any other text or a value beyond 64 bits.
std::optional<long long> ParseWholeNumber(const std::string& text);

}  // namespace vexlo
