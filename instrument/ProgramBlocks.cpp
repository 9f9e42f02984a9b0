#include "instrument/ProgramBlocks.h"

#include <cstring>

#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "common/Windows1252.h"

namespace vexlo {
namespace {

constexpr int kSourceProgram = 0;
constexpr int kTargetProgram = 5;

void ShowCurve(ConsoleReport& report, const char* title, const std::uint8_t (&record)[52]) {
    report.AppendResult(title);
    for (const auto& line : CurveLines(record)) report.AppendResult(line);
}

}  // namespace

std::vector<std::string> CurveLines(const std::uint8_t (&record)[52]) {
    const auto* unitBytes = reinterpret_cast<const char*>(record + 26);
    const std::string unit = Windows1252ToUtf8(std::string_view(unitBytes, strnlen(unitBytes, 26)));
    return {
        FormatText("%-10s = %d", "Periode", LoadLe16(record)),
        FormatText("%-10s = %d", "Max_Pts", LoadLe16(record + 2)),
        FormatText("%-10s = %d", "Resolution", LoadLe16(record + 4)),
        FormatText("%-10s = %g", "MinVal_y", static_cast<double>(LoadLeFloat(record + 6))),
        FormatText("%-10s = %g", "MaxVal_y", static_cast<double>(LoadLeFloat(record + 10))),
        FormatText("%-10s = %g", "Coeff", static_cast<double>(LoadLeFloat(record + 14))),
        FormatText("%-10s = %g", "LimSup_y", static_cast<double>(LoadLeFloat(record + 18))),
        FormatText("%-10s = %g", "LimInf_y", static_cast<double>(LoadLeFloat(record + 22))),
        FormatText("%-10s = %s", "Unit", unit.c_str()),
    };
}

std::vector<std::string> TwentyParameterLines(const std::uint8_t* values) {
    std::vector<std::string> lines;
    for (int i = 0; i < 20; ++i) lines.push_back(FormatText("%d -> %.3f", i, LoadLe32(values + 4 * i) * 0.001));
    return lines;
}

void ShowCurveInfo(TesterDevice& device, ConsoleReport& report) {
    report.ClearResults();
    std::uint8_t record[52] = {};
    if (device.ReadCurveInfo(1, record) != kDeviceOk) return;
    ShowCurve(report, " -> Curve1", record);
    report.TraceExchange(kDeviceOk);
    const DeviceStatus second = device.ReadCurveInfo(2, record);
    if (second == kDeviceOk) ShowCurve(report, " -> Curve2", record);
    report.TraceExchange(second);
}

void ReadTwentyParameters(TesterDevice& device, ConsoleReport& report) {
    report.ClearResults();
    std::uint8_t values[2 * registers::kTwentyValues.count] = {};
    if (device.ReadRegisters(registers::kTwentyValues.address, registers::kTwentyValues.count, values) == 0) return;
    for (const auto& line : TwentyParameterLines(values)) report.AppendResult(line);
}

CopyOutcome CopyProgramRecord(TesterDevice& device) {
    std::uint8_t record[512];
    std::memset(record, 0xFF, sizeof record);
    std::uint16_t length = 0;
    if (device.ReadBlockSize(length) != kDeviceOk) return CopyOutcome::Failed;
    const int bytes = length;
    // More than two parts would overrun the record and the frames; copying half a record is worse
    // than not copying at all.
    if (bytes > kMaxRecordBytes) return CopyOutcome::TooLarge;
    // A tail shorter than one register carries nothing: it is not sent.
    const bool hasTail = (bytes - registers::kBlockPartBytes) / 2 > 0;
    const int part = registers::kBlockPartBytes;
    if (device.ReadBlockHead(kSourceProgram, bytes, record) != kDeviceOk) return CopyOutcome::Failed;
    if (hasTail && device.ReadBlockTail(kSourceProgram, bytes, record + part) != kDeviceOk) return CopyOutcome::Failed;
    if (device.WriteBlockHead(kTargetProgram, bytes, record) != kDeviceOk) return CopyOutcome::Failed;
    if (hasTail && device.WriteBlockTail(kTargetProgram, bytes, record + part) != kDeviceOk) return CopyOutcome::Failed;
    return CopyOutcome::Copied;
}

void ModifyRegulatorControl(TesterDevice& device, ConsoleReport& report, bool set) {
    constexpr registers::Block kBlock = registers::kRegulator;
    std::uint8_t block[2 * kBlock.count] = {};
    const DeviceStatus read = ToDeviceStatus(device.ReadRegisters(kBlock.address, kBlock.count, block));
    report.TraceExchange(read);
    if (read != kDeviceOk) return;
    if (set) {
        block[0] |= 0x03;
    } else {
        block[0] &= static_cast<std::uint8_t>(~0x03);
    }
    report.TraceExchange(ToDeviceStatus(device.WriteRegisters(kBlock.address, kBlock.count, block)));
}

}  // namespace vexlo
