#include "instrument/ResultText.h"

#include "common/TextFormat.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

std::string Thousandths(std::int32_t value) { return FormatText("%.3f", value * 0.001); }

}  // namespace

std::vector<std::string> ResultLines(const ResultRecord& result, bool withErd) {
    const std::uint8_t relays = result.RelayImage();
    std::vector<std::string> lines = {
        FormatText("Program n\xC2\xB0: %d", result.ProgramIndex() + 1),
        FormatText("Test type: %d", result.TestType()),
        "Image of the relays:",
        FormatText("    Good part: %d", (relays & relay::kGoodPart) != 0),
        FormatText("    Bad ref part : %d", (relays & relay::kReferenceReject) != 0),
        FormatText("    Bad test part : %d", (relays & relay::kTestReject) != 0),
        FormatText("    Presence Alarm : %d", (relays & relay::kAlarm) != 0),
        FormatText("Alarm code: %d", result.AlarmCode()),
        "Pressure: " + Thousandths(result.Measure(0)),
        "Pressure unit: " + UnitText(UnitCode(result.Unit(0))),
        "Leak: " + Thousandths(result.Measure(1)),
        "Leak unit: " + UnitText(UnitCode(result.Unit(1))),
    };
    if (!withErd) return lines;
    struct ErdLabel {
        const char* value;
        const char* unit;
    };
    static constexpr ErdLabel kErd[] = {{"P Step: ", "P Step unit: "},      {"F Step: ", "F Step unit: "},
                                        {"P Down: ", "P Down unit: "},      {"F Down: ", "F Down unit: "},
                                        {"P Contact Up: ", "PC Up unit: "}, {"P Contact Down: ", "PC Down unit: "}};
    lines.push_back("...ERD...");
    for (int i = 0; i < 6; ++i) {
        lines.push_back(kErd[i].value + Thousandths(result.Measure(2 + i)));
        lines.push_back(kErd[i].unit + UnitText(UnitCode(result.Unit(2 + i))));
    }
    return lines;
}

std::string StatusRegisterLine(const StatusRecord& status) {
    std::string line;
    for (int i = 0; i < StatusRecord::kRegisters; ++i) {
        if (i > 0) line += ' ';
        line += FormatText("%04x", status.Register(i));
    }
    return line;
}

std::string MeasureText(std::int32_t measure) { return FormatText("%.03f", measure * 0.001); }

std::string MeasureUnitText(std::int32_t unitField) { return UnitText(static_cast<int>(unitField * 0.001)); }

}  // namespace vexlo
