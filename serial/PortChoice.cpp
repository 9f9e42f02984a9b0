#include "serial/PortChoice.h"

#include "common/TextFormat.h"
#include "serial/PortNameResolver.h"
#include "serial/PortSettings.h"
#include "serial/SerialPortList.h"

namespace vexlo {

PortChoices FixedPortList() {
    PortChoices choices;
    for (int i = 1; i <= kPortCount; ++i) choices.names.push_back(FormatText("COM %d", i));
    return choices;
}

PortChoices FillPortList(const std::string& stableNameDirectory) {
    const SerialPortList ports;
    if (ports.PortCount() == 0) return FixedPortList();
    PortChoices choices;
    choices.found = true;
    for (int i = 0; i < ports.PortCount(); ++i) {
        const std::string name = *ports.PortNameAt(i);
        const std::string device = ResolveDevicePath(name);
        const std::string stable = device.empty() ? std::string() : StableDeviceName(device, stableNameDirectory);
        const std::string shown = stable.empty() ? device : stable;
        choices.names.push_back(shown.empty() || shown == name ? name : name + "  " + shown);
        choices.stableNames.push_back(stable);
    }
    return choices;
}

int PositionOfPort(const PortChoices& choices, int portIndex) {
    if (!choices.found) return portIndex >= 0 && portIndex < static_cast<int>(choices.names.size()) ? portIndex : -1;
    // The whole number must match: the entry for COM3 must not be taken for COM30.
    for (size_t i = 0; i < choices.names.size(); ++i) {
        const std::string& name = choices.names[i];
        if (name.compare(0, 3, "COM") == 0 && ComPortNumber(name) == portIndex + 1) return static_cast<int>(i);
    }
    return -1;
}

int SelectedPortIndex(const PortChoices& choices, int position) {
    if (position < 0 || position >= static_cast<int>(choices.names.size())) return -1;
    if (!choices.found) return position;
    return ComPortNumber(choices.names[static_cast<size_t>(position)]) - 1;
}

}  // namespace vexlo
