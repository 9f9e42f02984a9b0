#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "instrument/ConsoleReport.h"
#include "instrument/ParameterAccess.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// A cycle time parameter of a program: its number, its "Read Time" label and decimals, and the
// range the "Time Setup" dialog accepts when it edits it.
struct TimeParameter {
    std::uint16_t number;
    const char* label;
    bool threeDecimals;
    bool endsGroup;  // "Read Time" leaves an empty line after it
    bool edited;     // one of the "Time Setup" fields
    float low;
    float high;
};

// In the order "Read Time" lists them and "Time Setup" shows the edited ones.
inline constexpr TimeParameter kTimeParameters[] = {
    {1, "FILL TIME: ", false, false, true, 0.0f, 650.0f},   {2, "STAB TIME: ", false, false, true, 0.5f, 650.0f},
    {3, "TEST TIME: ", false, true, true, 0.0f, 650.0f},    {9, "DUMP TIME: ", false, false, false, 0.0f, 0.0f},
    {10, "WAIT TIME: ", false, true, false, 0.0f, 0.0f},    {60, "REJECT TEST: ", true, false, true, 0.0f, 9999.0f},
    {62, "REJECT REF: ", true, false, true, 0.0f, 9999.0f},
};
inline constexpr int kTimeParameterCount = sizeof kTimeParameters / sizeof kTimeParameters[0];
// The test time, whose one-decimal text "0.0" means no limit ("Inf.").
inline constexpr std::uint16_t kTestTimeParameter = 3;
// The unit of the reject limits, listed after them with its unit text.
inline constexpr std::uint16_t kRejectUnitParameter = 127;
inline constexpr const char* kRejectUnitLabel = "REJECT UNIT: ";

// One parameter line: the label and the value x 0.001 with three decimals or one; with the test
// time rule, a one-decimal text of "0.0" shows "Inf." (no test time limit).
std::string ParameterLine(const std::string& label, std::int32_t value, bool threeDecimals, bool testTimeRule);

// The lines of the indirect list answer (an entry of three registers for each time parameter, then
// the reject unit), ending with an empty line.
std::vector<std::string> TimeListLines(const std::uint8_t* answer);
// The reject limits in the same answer.
RejectLimits TimeListRejectLimits(const std::uint8_t* answer);

// Reads two registers at the parameter register, traces the transaction, and on success adds its line
// and gives the value.
std::optional<std::int32_t> ReadParameterLine(TesterDevice& device, ConsoleReport& report, int address,
                                              const std::string& label, bool threeDecimals);

// "Read Time": the cycle time parameters of one program, by the direct registers in Direct Access
// when the program selection is answered, else by the indirect lists.
void ReadTimeParameters(TesterDevice& device, ConsoleReport& report, const ProgramNumber& program);

}  // namespace vexlo
