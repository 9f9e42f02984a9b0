#include <algorithm>

#include "common/TextFormat.h"
#include "serial/PortNameResolver.h"
#include "serial/SerialPortList.h"

namespace vexlo {

// The machine's devices are COM1..COMn in naming order; ports mapped by hand are present too.
std::vector<std::string> CollectSerialDeviceNames() {
    std::vector<std::string> names;
    const auto devices = MachineSerialDevices();
    for (size_t i = 0; i < devices.size(); ++i) names.push_back(FormatText("COM%d", static_cast<int>(i + 1)));
    for (const auto& [number, device] : CurrentPortMappings()) {
        if (number < 1) continue;
        const std::string name = FormatText("COM%d", number);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

}  // namespace vexlo
