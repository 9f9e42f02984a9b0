#include "instrument/ParameterAccess.h"

#include <cstdlib>

#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "instrument/ByteImage.h"

namespace vexlo {

ProgramNumber ParseProgramNumber(const std::string& text) {
    ProgramNumber program;
    program.number = static_cast<std::uint16_t>(ParseLeadingInt(text));
    program.valid = program.number >= 1 && program.number <= 8;
    return program;
}

std::int32_t ToThousandths(double value) {
    return ParseLeadingInt(FormatText("%.1f", value * 1000.0));
}

DeviceStatus WriteWord(TesterDevice& device, int address, std::uint16_t value) {
    std::uint8_t data[2];
    StoreLe16(data, value);
    return ToDeviceStatus(device.WriteRegisters(address, 1, data));
}

DeviceStatus SelectRunningProgram(TesterDevice& device, int programIndex, ConsoleReport* traceTo) {
    const DeviceStatus status = WriteWord(device, kRunningProgramRegister, static_cast<std::uint16_t>(programIndex));
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
