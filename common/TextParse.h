#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexlo {

// The standard atoi conversion without its undefined overflow: leading white space, an optional
// sign, then decimal digits up to the first other character; no digit gives 0. Out-of-range values
// wrap to 32 bits like the usual C runtime does.
int ParseLeadingInt(const std::string& text);

// A whole decimal integer as a dialog's entry check accepts it: blanks around, an optional sign,
// digits and nothing else. Nothing for any other text or a value beyond 64 bits.
std::optional<long long> ParseWholeNumber(const std::string& text);

// The same within low..high inclusive; nothing outside it (never wrapped).
std::optional<long long> ParseWholeNumberIn(const std::string& text, long long low, long long high);

// A list of whole numbers and ranges such as "1,2,5-9", each within low..high, in the order given,
// without repeats. Nothing when any part is not a whole number, lies outside, or runs backwards.
std::optional<std::vector<int>> ParseNumberList(const std::string& text, int low, int high);

// A decimal number as an operator types it: blanks around, an optional sign, digits with at most one
// point, an optional exponent, and nothing else. The point is always '.', whatever the locale says:
// "2,5" and "5abc" are refused, as are "nan", "inf" and hexadecimal forms.
std::optional<double> ParseDecimalNumber(const std::string& text);

}  // namespace vexlo
