#pragma once

#include <map>
#include <string>

namespace vexlo {

// Section [Ports] of the console's INI file: COMn keys written by hand, each naming the device that
// port opens. The application reads it and hands the result to the port layer.
inline constexpr const char* kPortsSection = "Ports";

// COM number to device, from the first key that names each number. Other keys are left alone.
std::map<int, std::string> ReadPortsSection(const std::string& iniPath);

// The COM number a key names: "COM" in any case, then decimal digits, leading zeros allowed ("com7"
// gives 7, "COM05" gives 5). 0 for any other key.
int PortsKeyNumber(const std::string& key);

}  // namespace vexlo
