#include "serial/PortNameResolver.h"

namespace vexlo {

std::vector<std::string> MachineSerialDevices(const std::string&) { return {}; }

// Windows opens "COMn" and "\\.\COMn" itself.
std::string ResolveDevicePath(const std::string& deviceName) { return deviceName; }

// Windows keeps a COM number with its adapter by itself.
std::string StableDeviceName(const std::string&, const std::string&) { return {}; }

}  // namespace vexlo
