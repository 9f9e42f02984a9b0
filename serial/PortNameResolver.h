#pragma once

#include <map>
#include <string>
#include <vector>

namespace vexlo {

// COM numbers mapped by hand to device paths (a simulator, a /dev/serial/by-id link). The
// application reads them from its own configuration and hands them over: the port layer reads no
// file of the console's. Process-wide, like the table of open ports.
using PortMappings = std::map<int, std::string>;
void SetPortMappings(PortMappings mappings);
const PortMappings& CurrentPortMappings();

// Serial devices present on this machine in naming order: COM1 is the first, COM2 the second, ...
// On POSIX: /sys/class/tty entries with a driver, ttyS first, then ttyUSB, ttyACM and the others,
// each by number; legacy ttyS without a UART are left out. sysRoot is for tests.
std::vector<std::string> MachineSerialDevices(const std::string& sysRoot = "/sys/class/tty");

// "COMn" (or "\\.\COMn") to the device path: the mapping of n when there is one, else the n-th
// machine device (sysRoot as above). Other names pass unchanged. Empty when nothing is known by that name.
std::string ResolveDevicePath(const std::string& deviceName, const std::string& sysRoot = "/sys/class/tty");

// The name of a device that stays the same across replugs and other adapters coming and going: the
// link in /dev/serial/by-id that leads to it, or empty text when there is none.
inline constexpr const char* kStableNameDirectory = "/dev/serial/by-id";
std::string StableDeviceName(const std::string& devicePath, const std::string& directory = kStableNameDirectory);

// The number after the leading run of C, O and M ("COM12" gives 12; no digits give 0).
int ComPortNumber(const std::string& name);

}  // namespace vexlo
