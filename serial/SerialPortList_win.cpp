#include <windows.h>

#include "serial/SerialPortList.h"

namespace vexlo {

std::vector<std::string> CollectSerialDeviceNames() {
    std::vector<std::string> names;
    HKEY hardware = nullptr;
    HKEY deviceMap = nullptr;
    HKEY serialComm = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "hardware", 0, KEY_READ, &hardware) == ERROR_SUCCESS &&
        RegOpenKeyExA(hardware, "DEVICEMAP", 0, KEY_READ, &deviceMap) == ERROR_SUCCESS &&
        RegOpenKeyExA(deviceMap, "SERIALCOMM", 0, KEY_READ, &serialComm) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            char valueName[260];
            BYTE data[260];
            DWORD nameSize = sizeof valueName;
            DWORD dataSize = sizeof data;
            DWORD type = 0;
            const LONG result = RegEnumValueA(serialComm, index, valueName, &nameSize, nullptr, &type, data, &dataSize);
            if (result == ERROR_NO_MORE_ITEMS) break;
            if (result != ERROR_SUCCESS) continue;
            names.emplace_back(reinterpret_cast<const char*>(data),
                               strnlen(reinterpret_cast<const char*>(data), dataSize));
        }
    }
    if (serialComm) RegCloseKey(serialComm);
    if (deviceMap) RegCloseKey(deviceMap);
    if (hardware) RegCloseKey(hardware);
    return names;
}

}  // namespace vexlo
