#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/ConsoleReport.h"
#include "instrument/ParameterAccess.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// One parameter line: the label and the value x 0.001 with three decimals or one; with the test
// time rule, a one-decimal text of "0.0" shows "Inf." (no test time limit).
std::string ParameterLine(const std::string& label, std::int32_t value, bool threeDecimals, bool testTimeRule);

// The lines of the indirect list answer (24 registers: entries of parameters 1, 2, 3, 9, 10, 60, 62
// and 127), ending with an empty line.
std::vector<std::string> TimeListLines(const std::uint8_t* answer);

// Reads two registers at the parameter register, traces the transaction, and on success adds its line.
void ReadParameterLine(TesterDevice& device, ConsoleReport& report, int address, const std::string& label,
                       bool threeDecimals);

// "Read Time": the cycle time parameters of one program, by the direct registers in Direct Access
// when the program selection is answered, else by the indirect lists.
void ReadTimeParameters(TesterDevice& device, ConsoleReport& report, const ProgramNumber& program);

}  // namespace vexlo
