#include "common/TextFormat.h"
#include "config/ConsoleIniPath.h"
#include "config/IniProfile.h"
#include "serial/PortNameResolver.h"
#include "serial/SerialPortList.h"

namespace vexlo {

// The machine's devices are COM1..COMn in naming order; ports mapped by hand in the INI file's
// [Ports] section (a simulator, a by-id link) are present too.
std::vector<std::string> CollectSerialDeviceNames() {
    std::vector<std::string> names;
    const auto devices = MachineSerialDevices();
    for (size_t i = 0; i < devices.size(); ++i) names.push_back(FormatText("COM%d", static_cast<int>(i + 1)));
    const IniProfile profile(ConsoleIniPath(), true);
    for (const auto& key : profile.Keys(kPortsSection)) {
        if (key.compare(0, 3, "COM") != 0) continue;
        bool known = false;
        for (const auto& name : names) known = known || name == key;
        if (!known) names.push_back(key);
    }
    return names;
}

}  // namespace vexlo
