#include "serial/SerialDevice.h"

namespace vexlo {
namespace {

SerialDeviceOpener& InstalledOpener() {
    static SerialDeviceOpener opener;
    return opener;
}

}  // namespace

void SetSerialDeviceOpener(SerialDeviceOpener opener) { InstalledOpener() = std::move(opener); }

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& deviceName, std::string* errorText) {
    if (InstalledOpener()) return InstalledOpener()(deviceName, errorText);
    return OpenPlatformSerialDevice(deviceName, errorText);
}

}  // namespace vexlo
