#include "serial/PortNameResolver.h"

namespace vexlo {

std::vector<std::string> MachineSerialDevices(const std::string&) { return {}; }

// Windows opens "COMn" and "\\.\COMn" itself.
std::string ResolveDevicePath(const std::string& deviceName) { return deviceName; }

}  // namespace vexlo
