#include "console/LinkOpening.h"

#include "config/PortsSection.h"

namespace vexlo {

bool OpenLink(TesterDevice& device, const std::string& iniPath, const LinkChoice& choice,
              const PortMappings& extraMappings) {
    PortMappings mappings = ReadPortsSection(iniPath);
    for (const auto& [number, target] : extraMappings) mappings[number] = target;
    SetPortMappings(mappings);
    device.SetPurgeAfterWrite(true);
    device.SelectStation(choice.station);
    device.SetPortIndex(choice.portIndex);
    device.linkEnabled = true;
    const bool opened = device.Open();
    device.accessMode = choice.accessMode;
    return opened;
}

}  // namespace vexlo
