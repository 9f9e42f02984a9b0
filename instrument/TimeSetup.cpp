#include "instrument/TimeSetup.h"

#include <cctype>
#include <cstdlib>

#include "common/TextFormat.h"
#include "common/ByteImage.h"
#include "instrument/ParameterAccess.h"

namespace vexlo {
namespace {

struct FieldSpec {
    int parameter;
    bool threeDecimals;
    float low;
    float high;
};

constexpr FieldSpec kFields[kTimeSetupFields] = {
    {1, false, 0.0f, 650.0f},   // fill time
    {2, false, 0.5f, 650.0f},   // stabilisation time
    {3, false, 0.0f, 650.0f},   // test time
    {60, true, 0.0f, 9999.0f},  // reject limit of the test
    {62, true, 0.0f, 9999.0f},  // reject limit of the reference
};

// The whole text must be a number, blanks around it allowed.
bool ParseNumber(const std::string& text, float* value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double parsed = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end != '\0' && std::isspace(static_cast<unsigned char>(*end))) ++end;
    if (*end != '\0') return false;
    *value = static_cast<float>(parsed);
    return true;
}

}  // namespace

std::string TimeSetupText(float value) { return FormatText("%g", static_cast<double>(value)); }

TimeSetupValues ReadTimeSetup(TesterDevice& device, int programIndex) {
    (void)WriteWord(device, kParameterProgramRegister, static_cast<std::uint16_t>(programIndex));
    TimeSetupValues values{};
    for (int i = 0; i < kTimeSetupFields; ++i) {
        values[static_cast<size_t>(i)] = static_cast<float>(
            ReadParameterValue(device, kParameterProgramRegister + kFields[i].parameter, kFields[i].threeDecimals));
    }
    return values;
}

std::variant<TimeSetupValues, TimeSetupRefusal> ParseTimeSetup(const TimeSetupTexts& texts) {
    TimeSetupValues values{};
    for (int i = 0; i < kTimeSetupFields; ++i) {
        const auto field = static_cast<TimeSetupField>(i);
        float value = 0;
        if (!ParseNumber(texts[static_cast<size_t>(i)], &value)) return TimeSetupRefusal{field, "Please enter a number."};
        if (!(value >= kFields[i].low && value <= kFields[i].high)) {
            return TimeSetupRefusal{field, FormatText("Please enter a number between %g and %g.",
                                                      static_cast<double>(kFields[i].low),
                                                      static_cast<double>(kFields[i].high))};
        }
        values[static_cast<size_t>(i)] = value;
    }
    return values;
}

void WriteTimeSetup(TesterDevice& device, ConsoleReport& report, int programIndex, const TimeSetupValues& values) {
    if (device.IsDirectAccess()) {
        if (!SelectProgramBeforeWrite(device, kParameterProgramRegister, programIndex, report)) return;
        report.ClearTrace();
        for (int i = 0; i < kTimeSetupFields; ++i) {
            WriteParameterValue(device, kParameterProgramRegister + kFields[i].parameter,
                                static_cast<double>(values[static_cast<size_t>(i)]), report);
        }
        return;
    }
    if (!SelectProgramBeforeWrite(device, kListProgramRegister, programIndex, report)) return;
    std::uint8_t list[32] = {};
    StoreLe16(list, kTimeSetupFields);
    for (int i = 0; i < kTimeSetupFields; ++i) {
        std::uint8_t* entry = list + 2 + 6 * i;
        StoreLe16(entry, static_cast<std::uint16_t>(kFields[i].parameter));
        StoreLe32(entry + 2, ToThousandths(static_cast<double>(values[static_cast<size_t>(i)])));
    }
    const DeviceStatus status = ToDeviceStatus(device.WriteRegisters(kWriteListRegister, 16, list));
    report.ClearTrace();
    report.TraceExchange(status);
}

}  // namespace vexlo
