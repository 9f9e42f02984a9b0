#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexlo {

// The serial ports present on the machine as "COMn" names, sorted by port number.
class SerialPortList {
public:
    SerialPortList();

    void EnumeratePorts();
    int PortCount() const { return static_cast<int>(names.size()); }
    // Nothing for an index outside the list.
    std::optional<std::string> PortNameAt(int index) const;
    int CurrentPosition() const { return currentPosition; }

    // Keeps the names that begin with "COM" and inserts each before the first entry with a strictly
    // greater number, so equal numbers keep their order.
    static std::vector<std::string> FilterAndSort(const std::vector<std::string>& scratch);

private:
    std::vector<std::string> names;
    int currentPosition = -1;
};

// The operating system's serial device names in enumeration order (platform file).
std::vector<std::string> CollectSerialDeviceNames();

}  // namespace vexlo
