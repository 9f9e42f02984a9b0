#include "instrument/TimeParameters.h"

#include "common/TextFormat.h"
#include "common/ByteImage.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

constexpr int kTestTimeRegister = 0x2003;
// Parameters of the indirect read list, in the order the lines show them.
constexpr std::uint16_t kTimeList[] = {1, 2, 3, 9, 10, 60, 62, 127};

}  // namespace

std::string ParameterLine(const std::string& label, std::int32_t value, bool threeDecimals, bool testTimeRule) {
    std::string text = FormatText(threeDecimals ? "%.3f" : "%.1f", value * 0.001);
    if (testTimeRule && !threeDecimals && text == "0.0") text = "Inf.";
    return label + text;
}

std::vector<std::string> TimeListLines(const std::uint8_t* answer) {
    const auto entry = [answer](int i) { return LoadLe32(answer + 2 + 6 * i); };
    return {
        ParameterLine("FILL TIME: ", entry(0), false, false),
        ParameterLine("STAB TIME: ", entry(1), false, false),
        ParameterLine("TEST TIME: ", entry(2), false, true),
        "",
        ParameterLine("DUMP TIME: ", entry(3), false, false),
        ParameterLine("WAIT TIME: ", entry(4), false, false),
        "",
        ParameterLine("REJECT TEST: ", entry(5), true, false),
        ParameterLine("REJECT REF: ", entry(6), true, false),
        "REJECT UNIT: " + UnitText(UnitCode(entry(7))),
        "",
    };
}

void ReadParameterLine(TesterDevice& device, ConsoleReport& report, int address, const std::string& label,
                       bool threeDecimals) {
    std::uint8_t data[4] = {};
    const DeviceStatus status = ToDeviceStatus(device.ReadRegisters(address, 2, data));
    report.TraceExchange(status);
    if (status == kDeviceOk) {
        report.AppendResult(ParameterLine(label, LoadLe32(data), threeDecimals, address == kTestTimeRegister));
    }
}

void ReadTimeParameters(TesterDevice& device, ConsoleReport& report, const ProgramNumber& program) {
    if (!program.valid) {
        report.ShowMessage(kBadProgramMessage);
        return;
    }
    const DeviceStatus selected = WriteWord(device, kParameterProgramRegister, static_cast<std::uint16_t>(program.Index()));
    if (selected == kDeviceOk && device.IsDirectAccess()) {
        report.ClearTrace();
        report.ClearResults();
        ReadParameterLine(device, report, 0x2001, "FILL TIME: ", false);
        ReadParameterLine(device, report, 0x2002, "STAB TIME: ", false);
        ReadParameterLine(device, report, 0x2003, "TEST TIME: ", false);
        report.AppendResult("");
        ReadParameterLine(device, report, 0x2009, "DUMP TIME: ", false);
        ReadParameterLine(device, report, 0x200A, "WAIT TIME: ", false);
        report.AppendResult("");
        ReadParameterLine(device, report, 0x203C, "REJECT TEST: ", true);
        ReadParameterLine(device, report, 0x203E, "REJECT REF: ", true);
        std::uint8_t unit[4] = {};
        const DeviceStatus status = ToDeviceStatus(device.ReadRegisters(0x207F, 2, unit));
        report.TraceExchange(status);
        if (status == kDeviceOk) report.AppendResult("REJECT UNIT: " + UnitText(UnitCode(LoadLe32(unit))));
        return;
    }

    report.ClearResults();
    report.ClearTrace();
    std::uint8_t list[18];
    StoreLe16(list, 8);
    for (int i = 0; i < 8; ++i) StoreLe16(list + 2 + 2 * i, kTimeList[i]);
    report.TraceExchange(ToDeviceStatus(device.WriteRegisters(kReadListRegister, 9, list)));
    std::uint8_t answer[48] = {};
    const DeviceStatus status = ToDeviceStatus(device.ReadRegisters(kReadListRegister, 24, answer));
    report.TraceExchange(status);
    if (status != kDeviceOk) return;
    for (const auto& line : TimeListLines(answer)) report.AppendResult(line);
}

}  // namespace vexlo
