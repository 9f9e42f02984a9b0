#include "serial/SerialPortList.h"

#include <cctype>

#include "common/TextParse.h"
#include "serial/PortNameResolver.h"

namespace vexlo {

int ComPortNumber(const std::string& name) {
    size_t i = 0;
    while (i < name.size() && (name[i] == 'C' || name[i] == 'O' || name[i] == 'M')) ++i;
    return ParseLeadingInt(name.substr(i));
}

int PortsKeyNumber(const std::string& key) {
    if (key.size() < 4 || key.size() > 12) return 0;
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(key[i])) != "COM"[i]) return 0;
    }
    for (size_t i = 3; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i]))) return 0;
    }
    return ParseLeadingInt(key.substr(3));
}

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
