#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// A program number typed by the operator: a whole number from 1 to 8 and nothing else ("2x" or
// "1.5" would otherwise select a program the operator never typed). The number of a whole text is
// kept, reduced to 16 bits, even when invalid (the console remembers it); other text gives 0.
struct ProgramNumber {
    std::uint16_t number = 0;
    bool valid = false;
    int Index() const { return number - 1; }
};
ProgramNumber ParseProgramNumber(const std::string& text);
inline constexpr const char* kBadProgramMessage = "Program numero does not exist!!!";

// An entered decimal value to thousandths: x 1000, formatted "%.1f", integer part of that text.
std::int32_t ToThousandths(double value);

// The same, or nothing when the integer part does not fit a signed 32-bit value (the plain
// conversion would wrap it and flip its sign).
std::optional<std::int32_t> ThousandthsInRange(double value);
inline constexpr const char* kThousandthsRangePrompt = "Please enter a number between -2147483.648 and 2147483.647.";

// One register (16 bits, low byte first) or a 32-bit value (two registers) as register data.
DeviceStatus WriteWord(TesterDevice& device, int address, std::uint16_t value);

// Selects the program whose parameters the following writes change (at 0x2000 or 0x3004). When the
// selection fails the trace is cleared and shows it, and false tells the caller to write nothing:
// the values would otherwise land in whichever program was selected before.
bool SelectProgramBeforeWrite(TesterDevice& device, int selectionRegister, int programIndex, ConsoleReport& report);

// Writes the running program index at 0x0200; traced when asked.
DeviceStatus SelectRunningProgram(TesterDevice& device, int programIndex, ConsoleReport* traceTo);

// Reads a two-register value without tracing; the value x 0.001 rounded as "%.3f" or "%.1f" shows
// it, or 0 when the read failed.
double ReadParameterValue(TesterDevice& device, int address, bool threeDecimals);

// Writes the value as thousandths in two registers, then traces the transaction.
DeviceStatus WriteParameterValue(TesterDevice& device, int address, double value, ConsoleReport& report);

}  // namespace vexlo
