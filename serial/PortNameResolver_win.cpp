#include "serial/NetworkDevice.h"
#include "serial/PortNameResolver.h"

namespace vexlo {

std::vector<std::string> MachineSerialDevices(const std::string&) { return {}; }

// Windows opens "COMn" and "\\.\COMn" itself; only a port mapped to a device server is redirected.
std::string ResolveDevicePath(const std::string& deviceName, const std::string&) {
    std::string name = deviceName;
    if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
    if (name.rfind("COM", 0) != 0) return deviceName;
    const auto& mappings = CurrentPortMappings();
    if (const auto mapped = mappings.find(ComPortNumber(name));
        mapped != mappings.end() && IsNetworkPort(mapped->second)) {
        return mapped->second;
    }
    return deviceName;
}

// Windows keeps a COM number with its adapter by itself.
std::string StableDeviceName(const std::string&, const std::string&) { return {}; }

}  // namespace vexlo
