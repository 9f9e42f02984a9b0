#include "serial/SerialPortList.h"

#include "common/TextParse.h"
#include "serial/PortNameResolver.h"

namespace vexlo {

int ComPortNumber(const std::string& name) {
    size_t i = 0;
    while (i < name.size() && (name[i] == 'C' || name[i] == 'O' || name[i] == 'M')) ++i;
    return ParseLeadingInt(name.substr(i));
}

namespace {

PortMappings& Mappings() {
    static PortMappings mappings;
    return mappings;
}

}  // namespace

void SetPortMappings(PortMappings mappings) { Mappings() = std::move(mappings); }

const PortMappings& CurrentPortMappings() { return Mappings(); }

SerialPortList::SerialPortList() { EnumeratePorts(); }

void SerialPortList::EnumeratePorts() {
    names = FilterAndSort(CollectSerialDeviceNames());
    currentPosition = names.empty() ? -1 : 0;
}

std::optional<std::string> SerialPortList::PortNameAt(int index) const {
    if (index < 0 || index >= PortCount()) return std::nullopt;
    return names[static_cast<size_t>(index)];
}

std::vector<std::string> SerialPortList::FilterAndSort(const std::vector<std::string>& scratch) {
    std::vector<std::string> sorted;
    for (const auto& name : scratch) {
        if (name.compare(0, 3, "COM") != 0) continue;
        const int number = ComPortNumber(name);
        auto position = sorted.begin();
        while (position != sorted.end() && ComPortNumber(*position) <= number) ++position;
        sorted.insert(position, name);
    }
    return sorted;
}

}  // namespace vexlo
