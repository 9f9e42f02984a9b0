#include "instrument/TimeSetup.h"

#include <array>
#include <cctype>
#include <cstdlib>

#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "instrument/ParameterAccess.h"
#include "instrument/TimeParameters.h"

namespace vexlo {
namespace {

// The time parameters the dialog edits, in the order of its fields.
constexpr std::array<TimeParameter, kTimeSetupFields> EditedParameters() {
    std::array<TimeParameter, kTimeSetupFields> edited{};
    size_t next = 0;
    for (const TimeParameter& parameter : kTimeParameters) {
        if (parameter.edited) edited[next++] = parameter;
    }
    return edited;
}
constexpr std::array<TimeParameter, kTimeSetupFields> kFields = EditedParameters();
static_assert(kFields[4].number == 62, "five edited parameters, the reference reject last");

// The whole text must be a number, blanks around it allowed.
bool ParseNumber(const std::string& text, float* value) {
    const auto parsed = ParseDecimalNumber(text);
    if (!parsed) return false;
    *value = static_cast<float>(*parsed);
    return true;
}

}  // namespace

std::string TimeSetupText(float value) { return FormatText("%g", static_cast<double>(value)); }

TimeSetupValues ReadTimeSetup(TesterDevice& device, int programIndex) {
    (void)WriteWord(device, registers::kParameterProgram, static_cast<std::uint16_t>(programIndex));
    TimeSetupValues values{};
    for (int i = 0; i < kTimeSetupFields; ++i) {
        values[static_cast<size_t>(i)] = static_cast<float>(
            ReadParameterValue(device, registers::ParameterRegister(kFields[i].number), kFields[i].threeDecimals));
    }
    return values;
}

std::variant<TimeSetupValues, TimeSetupRefusal> ParseTimeSetup(const TimeSetupTexts& texts) {
    TimeSetupValues values{};
    for (int i = 0; i < kTimeSetupFields; ++i) {
        const auto field = static_cast<TimeSetupField>(i);
        float value = 0;
        if (!ParseNumber(texts[static_cast<size_t>(i)], &value))
            return TimeSetupRefusal{field, "Please enter a number."};
        if (!(value >= kFields[i].low && value <= kFields[i].high)) {
            return TimeSetupRefusal{
                field, FormatText("Please enter a number between %g and %g.", static_cast<double>(kFields[i].low),
                                  static_cast<double>(kFields[i].high))};
        }
        values[static_cast<size_t>(i)] = value;
    }
    return values;
}

void WriteTimeSetup(TesterDevice& device, ConsoleReport& report, int programIndex, const TimeSetupValues& values) {
    if (device.IsDirectAccess()) {
        if (!SelectProgramBeforeWrite(device, registers::kParameterProgram, programIndex, report)) return;
        report.RejectLimitsChanged(programIndex + 1);
        report.ClearTrace();
        for (int i = 0; i < kTimeSetupFields; ++i) {
            WriteParameterValue(device, registers::ParameterRegister(kFields[i].number),
                                static_cast<double>(values[static_cast<size_t>(i)]), report);
        }
        return;
    }
    if (!SelectProgramBeforeWrite(device, registers::kListProgram, programIndex, report)) return;
    report.RejectLimitsChanged(programIndex + 1);
    // The count, then for each field its number and the two registers of its value.
    constexpr int kListRegisters = 1 + 3 * kTimeSetupFields;
    std::uint8_t list[2 * kListRegisters] = {};
    StoreLe16(list, kTimeSetupFields);
    for (int i = 0; i < kTimeSetupFields; ++i) {
        std::uint8_t* entry = list + 2 + 6 * i;
        StoreLe16(entry, kFields[i].number);
        StoreLe32(entry + 2, ToThousandths(static_cast<double>(values[static_cast<size_t>(i)])));
    }
    const DeviceStatus status = ToDeviceStatus(device.WriteRegisters(registers::kWriteList, kListRegisters, list));
    report.ClearTrace();
    report.TraceExchange(status);
}

}  // namespace vexlo
