#include "instrument/IdentifierAccess.h"

#include <cmath>
#include <cstdlib>
#include <variant>

#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "instrument/ParameterAccess.h"

namespace vexlo {
namespace {

// The checks before any traffic, in order; the first that fails is the operator's message.
std::optional<std::string> Refusal(const std::string& programText, const std::string& idText,
                                   const std::string* valueText) {
    if (!ParseProgramNumber(programText).valid) return std::string(kBadProgramMessage);
    // An ID that is not a whole register offset is refused like an empty one.
    if (!ParseWholeNumberIn(idText, 0, 0xFFFF)) return std::string("ID = ?");
    if (valueText != nullptr && valueText->empty()) return std::string("Value = ?");
    return std::nullopt;
}

// The value text as the operator meant it, in thousandths: the whole text must be a number ("2,5"
// is not 2) and fit 32 bits once scaled; otherwise the prompt that refuses it.
std::variant<std::int32_t, std::string> ValueThousandths(const std::string& valueText) {
    const auto value = ParseDecimalNumber(valueText);
    if (!value) return std::string("Please enter a number.");
    if (const auto thousandths = ThousandthsInRange(*value)) return *thousandths;
    return std::string(kThousandthsRangePrompt);
}

}  // namespace

std::optional<std::string> IdentifierRefusal(const std::string& programText, const std::string& idText,
                                             const std::string* valueText) {
    if (auto message = Refusal(programText, idText, valueText)) return message;
    if (valueText == nullptr) return std::nullopt;
    const auto converted = ValueThousandths(*valueText);
    if (const auto* prompt = std::get_if<std::string>(&converted)) return *prompt;
    return std::nullopt;
}

namespace {

bool UsesDirectRegisters(const TesterDevice& device) { return device.accessMode != 0; }

}  // namespace

IdentifierOutcome ReadIdentifier(TesterDevice& device, ConsoleReport& report, const std::string& programText,
                                 const std::string& idText) {
    if (auto message = Refusal(programText, idText, nullptr)) return {message, std::nullopt};
    const int programIndex = ParseProgramNumber(programText).Index();
    const auto id = static_cast<std::uint16_t>(*ParseWholeNumber(idText));
    std::uint8_t data[6] = {};
    std::int32_t value = 0;
    if (UsesDirectRegisters(device)) {
        (void)WriteWord(device, registers::kParameterProgram, static_cast<std::uint16_t>(programIndex));
        const DeviceStatus status = ToDeviceStatus(device.ReadRegisters(registers::ParameterRegister(id), 2, data));
        value = LoadLe32(data);
        report.ClearTrace();
        report.TraceExchange(status);
    } else {
        (void)WriteWord(device, registers::kListProgram, static_cast<std::uint16_t>(programIndex));
        std::uint8_t request[4];
        StoreLe16(request, 1);
        StoreLe16(request + 2, id);
        const DeviceStatus written = ToDeviceStatus(device.WriteRegisters(registers::kReadList, 2, request));
        report.ClearTrace();
        report.TraceExchange(written);
        const DeviceStatus status = ToDeviceStatus(device.ReadRegisters(registers::kReadList, 3, data));
        report.TraceExchange(status);
        value = LoadLe32(data + 2);
    }
    // Rewritten even after a failed read: it then shows zero.
    return {std::nullopt, FormatText("%.3f", value * 0.001)};
}

IdentifierOutcome WriteIdentifier(TesterDevice& device, ConsoleReport& report, const std::string& programText,
                                  const std::string& idText, const std::string& valueText) {
    if (auto message = Refusal(programText, idText, &valueText)) return {message, std::nullopt};
    const int programIndex = ParseProgramNumber(programText).Index();
    const auto id = static_cast<std::uint16_t>(*ParseWholeNumber(idText));
    const auto converted = ValueThousandths(valueText);
    if (const auto* prompt = std::get_if<std::string>(&converted)) return {*prompt, std::nullopt};
    const std::int32_t thousandths = std::get<std::int32_t>(converted);
    DeviceStatus status = kDeviceFailed;
    if (UsesDirectRegisters(device)) {
        if (!SelectProgramBeforeWrite(device, registers::kParameterProgram, programIndex, report)) return {};
        std::uint8_t data[4];
        StoreLe32(data, thousandths);
        status = ToDeviceStatus(device.WriteRegisters(registers::ParameterRegister(id), 2, data));
    } else {
        if (!SelectProgramBeforeWrite(device, registers::kListProgram, programIndex, report)) return {};
        std::uint8_t list[8];
        StoreLe16(list, 1);
        StoreLe16(list + 2, id);
        StoreLe32(list + 4, thousandths);
        status = ToDeviceStatus(device.WriteRegisters(registers::kWriteList, 4, list));
    }
    report.ClearTrace();
    report.TraceExchange(status);
    return {};
}

}  // namespace vexlo
