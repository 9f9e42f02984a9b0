#include "instrument/TimeParameters.h"

#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

// Entries of the indirect read list: the time parameters, then the unit.
constexpr int kListEntries = kTimeParameterCount + 1;

std::string RejectUnitLine(std::int32_t value) { return kRejectUnitLabel + UnitText(UnitCode(value)); }

// The value of list entry i: each entry is a number register, then the two registers of the value.
std::int32_t ListEntry(const std::uint8_t* answer, int i) { return LoadLe32(answer + 2 + 6 * i); }

constexpr std::uint16_t kRejectTestParameter = 60;
constexpr std::uint16_t kRejectRefParameter = 62;

int PositionOf(std::uint16_t number) {
    for (int i = 0; i < kTimeParameterCount; ++i) {
        if (kTimeParameters[i].number == number) return i;
    }
    return -1;
}

}  // namespace

std::string ParameterLine(const std::string& label, std::int32_t value, bool threeDecimals, bool testTimeRule) {
    std::string text = FormatText(threeDecimals ? "%.3f" : "%.1f", value * 0.001);
    if (testTimeRule && !threeDecimals && text == "0.0") text = "Inf.";
    return label + text;
}

std::vector<std::string> TimeListLines(const std::uint8_t* answer) {
    const auto entry = [answer](int i) { return ListEntry(answer, i); };
    std::vector<std::string> lines;
    for (int i = 0; i < kTimeParameterCount; ++i) {
        const TimeParameter& parameter = kTimeParameters[i];
        lines.push_back(
            ParameterLine(parameter.label, entry(i), parameter.threeDecimals, parameter.number == kTestTimeParameter));
        if (parameter.endsGroup) lines.emplace_back();
    }
    lines.push_back(RejectUnitLine(entry(kTimeParameterCount)));
    lines.emplace_back();
    return lines;
}

RejectLimits TimeListRejectLimits(const std::uint8_t* answer) {
    return {ListEntry(answer, PositionOf(kRejectTestParameter)), ListEntry(answer, PositionOf(kRejectRefParameter)),
            ListEntry(answer, kTimeParameterCount)};
}

std::optional<std::int32_t> ReadParameterLine(TesterDevice& device, ConsoleReport& report, int address,
                                              const std::string& label, bool threeDecimals) {
    std::uint8_t data[4] = {};
    const DeviceStatus status = ToDeviceStatus(device.ReadRegisters(address, 2, data));
    report.TraceExchange(status);
    if (status != kDeviceOk) return std::nullopt;
    report.AppendResult(ParameterLine(label, LoadLe32(data), threeDecimals,
                                      address == registers::ParameterRegister(kTestTimeParameter)));
    return LoadLe32(data);
}

void ReadTimeParameters(TesterDevice& device, ConsoleReport& report, const ProgramNumber& program) {
    if (!program.valid) {
        report.ShowMessage(kBadProgramMessage);
        return;
    }
    const DeviceStatus selected =
        WriteWord(device, registers::kParameterProgram, static_cast<std::uint16_t>(program.Index()));
    if (selected == kDeviceOk && device.IsDirectAccess()) {
        report.ClearTrace();
        report.ClearResults();
        std::optional<std::int32_t> rejectTest;
        std::optional<std::int32_t> rejectRef;
        for (const TimeParameter& parameter : kTimeParameters) {
            const auto value = ReadParameterLine(device, report, registers::ParameterRegister(parameter.number),
                                                 parameter.label, parameter.threeDecimals);
            if (parameter.number == kRejectTestParameter) rejectTest = value;
            if (parameter.number == kRejectRefParameter) rejectRef = value;
            if (parameter.endsGroup) report.AppendResult("");
        }
        std::uint8_t unit[4] = {};
        const DeviceStatus status =
            ToDeviceStatus(device.ReadRegisters(registers::ParameterRegister(kRejectUnitParameter), 2, unit));
        report.TraceExchange(status);
        if (status != kDeviceOk) return;
        report.AppendResult(RejectUnitLine(LoadLe32(unit)));
        if (rejectTest && rejectRef) report.RejectLimitsRead(program.number, {*rejectTest, *rejectRef, LoadLe32(unit)});
        return;
    }

    report.ClearResults();
    report.ClearTrace();
    std::uint8_t list[2 * (1 + kListEntries)];
    StoreLe16(list, kListEntries);
    for (int i = 0; i < kTimeParameterCount; ++i) StoreLe16(list + 2 + 2 * i, kTimeParameters[i].number);
    StoreLe16(list + 2 + 2 * kTimeParameterCount, kRejectUnitParameter);
    report.TraceExchange(ToDeviceStatus(device.WriteRegisters(registers::kReadList, 1 + kListEntries, list)));
    std::uint8_t answer[2 * 3 * kListEntries] = {};
    const DeviceStatus status = ToDeviceStatus(device.ReadRegisters(registers::kReadList, 3 * kListEntries, answer));
    report.TraceExchange(status);
    if (status != kDeviceOk) return;
    for (const auto& line : TimeListLines(answer)) report.AppendResult(line);
    report.RejectLimitsRead(program.number, TimeListRejectLimits(answer));
}

}  // namespace vexlo
