#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// The nine lines of a 52-byte curve description.
std::vector<std::string> CurveLines(const std::uint8_t (&record)[52]);
// "%d -> %.3f" for each of the twenty values of an 80-byte block.
std::vector<std::string> TwentyParameterLines(const std::uint8_t* values);

// "Curve Info": both curve descriptions into the result list.
void ShowCurveInfo(TesterDevice& device, ConsoleReport& report);
// "R-20 Para": the twenty values at 0x2700 into the result list (the read is not traced).
void ReadTwentyParameters(TesterDevice& device, ConsoleReport& report);
inline constexpr const char* kWriteTwentyMessage = "CVexloModbusTesterDlg::OnBtnW20(), TODO";

enum class CopyOutcome { Copied, Failed, TooLarge };
// Largest record the two block parts carry.
constexpr int kMaxRecordBytes = 2 * registers::kBlockPartBytes;
// "Copier/Coller(1-6)": the parameter record of program 1 onto program 6, byte for byte.
CopyOutcome CopyProgramRecord(TesterDevice& device);

// "Elect. Reg 1(K8)" sets, "Elect. Reg 2(K8)" clears bits 0 and 1 of the regulator block's first byte.
void ModifyRegulatorControl(TesterDevice& device, ConsoleReport& report, bool set);

}  // namespace vexlo
