#pragma once

#include <string>

namespace vexlo {

inline constexpr const char* kConsoleIniFileName = "VexloModbusTester.ini";

// The console's INI file follows the working directory: <current directory>/VexloModbusTester.ini,
// with the directory's trailing separators removed so that a root gives a single separator.
std::string ConsoleIniPath();

}  // namespace vexlo
