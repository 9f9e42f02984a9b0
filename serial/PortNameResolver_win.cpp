#include "config/IniProfile.h"
#include "serial/PortNameResolver.h"

namespace vexlo {

int ComPortNumber(const std::string& name) {
    size_t i = 0;
    while (i < name.size() && (name[i] == 'C' || name[i] == 'O' || name[i] == 'M')) ++i;
    return ParseLeadingInt(name.substr(i));
}

std::vector<std::string> MachineSerialDevices(const std::string&) { return {}; }

// Windows opens "COMn" and "\\.\COMn" itself.
std::string ResolveDevicePath(const std::string& deviceName) { return deviceName; }

}  // namespace vexlo
