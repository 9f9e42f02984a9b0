#pragma once

#include <string>
#include <vector>

namespace vexlo {

inline constexpr const char* kPortsSection = "Ports";

// Serial devices present on this machine in naming order: COM1 is the first, COM2 the second, ...
// On POSIX: /sys/class/tty entries with a driver, ttyS first, then ttyUSB, ttyACM and the others,
// each by number; legacy ttyS without a UART are left out. sysRoot is for tests.
std::vector<std::string> MachineSerialDevices(const std::string& sysRoot = "/sys/class/tty");

// "COMn" (or "\\.\COMn") to the device path: key COMn of section [Ports] of the console's INI file in
// the current directory when present, else the n-th machine device. Other names pass unchanged.
// Empty when nothing is known by that name.
std::string ResolveDevicePath(const std::string& deviceName);

// The COM number a hand-written [Ports] key names: "COM" in any case, then decimal digits, leading
// zeros allowed ("com7" gives 7, "COM05" gives 5). 0 for any other key.
int PortsKeyNumber(const std::string& key);

// The number after the leading run of C, O and M ("COM12" gives 12; no digits give 0).
int ComPortNumber(const std::string& name);

}  // namespace vexlo
