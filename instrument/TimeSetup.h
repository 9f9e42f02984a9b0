#pragma once

#include <array>
#include <string>
#include <variant>

#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// The five values the "Time Setup" dialog edits, held in single precision as the fields are.
enum class TimeSetupField { FillTime, StabTime, TestTime, RejectTest, RejectRef };
constexpr int kTimeSetupFields = 5;
using TimeSetupValues = std::array<float, kTimeSetupFields>;
using TimeSetupTexts = std::array<std::string, kTimeSetupFields>;

struct TimeSetupRefusal {
    TimeSetupField field;
    std::string message;  // the standard number prompt
};

// Opening: selects the program at 0x2000, then reads the five values from the direct registers (in
// both access modes); a failed read gives 0.
TimeSetupValues ReadTimeSetup(TesterDevice& device, int programIndex);

// The fields' texts checked in order against their ranges (fill, test 0 to 650; stabilisation 0.5 to
// 650; rejects 0 to 9999); the first refused field and its prompt, or the values.
std::variant<TimeSetupValues, TimeSetupRefusal> ParseTimeSetup(const TimeSetupTexts& texts);

// "OK": the direct registers one by one in Direct Access, else one indirect write list; each write
// traced after the console's trace is cleared. Nothing is written when the program selection fails.
void WriteTimeSetup(TesterDevice& device, ConsoleReport& report, int programIndex, const TimeSetupValues& values);

// A field's value as the dialog shows it: general notation, six significant digits.
std::string TimeSetupText(float value);

}  // namespace vexlo
