#include "instrument/ParameterAccess.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"

namespace vexlo {

ProgramNumber ParseProgramNumber(const std::string& text) {
    ProgramNumber program;
    const auto number = ParseWholeNumber(text);
    program.number = static_cast<std::uint16_t>(number.value_or(0));
    program.valid = number && *number >= 1 && *number <= 8;
    return program;
}

std::int32_t ToThousandths(double value) { return ParseLeadingInt(FormatText("%.1f", value * 1000.0)); }

std::optional<std::int32_t> ThousandthsInRange(double value) {
    const double whole = std::trunc(std::strtod(FormatText("%.1f", value * 1000.0).c_str(), nullptr));
    if (!(whole >= INT32_MIN && whole <= INT32_MAX)) return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

DeviceStatus WriteWord(TesterDevice& device, int address, std::uint16_t value) {
    std::uint8_t data[2];
    StoreLe16(data, value);
    return ToDeviceStatus(device.WriteRegisters(address, 1, data));
}

bool SelectProgramBeforeWrite(TesterDevice& device, int selectionRegister, int programIndex, ConsoleReport& report) {
    if (WriteWord(device, selectionRegister, static_cast<std::uint16_t>(programIndex)) == kDeviceOk) return true;
    report.ClearTrace();
    report.TraceExchange(kDeviceFailed);
    return false;
}

DeviceStatus SelectRunningProgram(TesterDevice& device, int programIndex, ConsoleReport* traceTo) {
    const DeviceStatus status = WriteWord(device, registers::kRunningProgram, static_cast<std::uint16_t>(programIndex));
    if (traceTo != nullptr) traceTo->TraceExchange(status);
    return status;
}

double ReadParameterValue(TesterDevice& device, int address, bool threeDecimals) {
    std::uint8_t data[4] = {};
    if (device.ReadRegisters(address & 0xFFFF, 2, data) == 0) return 0.0;
    return std::atof(FormatText(threeDecimals ? "%.3f" : "%.1f", LoadLe32(data) * 0.001).c_str());
}

DeviceStatus WriteParameterValue(TesterDevice& device, int address, double value, ConsoleReport& report) {
    std::uint8_t data[4];
    StoreLe32(data, ToThousandths(value));
    const DeviceStatus status = ToDeviceStatus(device.WriteRegisters(address & 0xFFFF, 2, data));
    report.TraceExchange(status);
    return status;
}

}  // namespace vexlo
