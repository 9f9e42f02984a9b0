#pragma once

#include <optional>
#include <string>

#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// What a "Read" or "Write" of the Identifiants dialog gives back: a refusal message for the operator
// (nothing was sent), or the new text of the value field after a read.
struct IdentifierOutcome {
    std::optional<std::string> message;
    std::optional<std::string> valueText;
};

// Any parameter of any program by its number (ID). Direct registers whenever the access mode is not
// 0 (this dialog's own rule), the indirect lists when it is 0. The program is selected again each
// time; each traced transaction follows one clearing of the console's trace. A write is refused
// before any traffic when its value is not a number or does not fit 32 bits in thousandths, and is
// not sent when its program selection failed.
// The refusal a Read (no value) or a Write would give before any traffic, or nothing when the entries
// are good: a program 1 to 8, an ID that is a whole number from 0 to 65535, a value that is a number
// and fits 32 bits in thousandths.
std::optional<std::string> IdentifierRefusal(const std::string& programText, const std::string& idText,
                                             const std::string* valueText);
IdentifierOutcome ReadIdentifier(TesterDevice& device, ConsoleReport& report, const std::string& programText,
                                 const std::string& idText);
IdentifierOutcome WriteIdentifier(TesterDevice& device, ConsoleReport& report, const std::string& programText,
                                  const std::string& idText, const std::string& valueText);

}  // namespace vexlo
