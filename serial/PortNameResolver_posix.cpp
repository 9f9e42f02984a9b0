#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "common/ProgramFile.h"
#include "common/TextParse.h"
#include "serial/PortNameResolver.h"

namespace vexlo {
namespace {

bool PathExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Sort key: family (ttyS, ttyUSB, ttyACM, others), then the name's stem, then its number.
std::tuple<int, std::string, long> NamingKey(const std::string& name) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    const std::string stem = name.substr(0, digits);
    const std::string number = name.substr(digits);
    const long value = ParseLeadingInt(number);
    int family = 3;
    if (stem == "ttyS") family = 0;
    if (stem == "ttyUSB") family = 1;
    if (stem == "ttyACM") family = 2;
    return {family, stem, value};
}

bool IsRealPort(const std::string& sysRoot, const std::string& name) {
    const std::string entry = sysRoot + "/" + name;
    if (!PathExists(entry + "/device/driver")) return false;
    if (name.rfind("ttyS", 0) == 0) {
        // Legacy 8250 slots exist whether or not a UART sits behind them; type 0 means none.
        std::ifstream typeFile(entry + "/type");
        int type = 0;
        if (!(typeFile >> type) || type == 0) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> MachineSerialDevices(const std::string& sysRoot) {
    std::vector<std::string> names;
    DIR* dir = opendir(sysRoot.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        if (IsRealPort(sysRoot, name)) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NamingKey(a) < NamingKey(b); });
    for (auto& name : names) name = "/dev/" + name;
    return names;
}

std::string StableDeviceName(const std::string& devicePath, const std::string& directory) {
    std::error_code error;
    const auto device = std::filesystem::canonical(devicePath, error);
    if (error) return {};
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        std::error_code ignored;
        if (std::filesystem::canonical(entry.path(), ignored) == device && !ignored) return entry.path().string();
    }
    return {};
}

std::string ResolveDevicePath(const std::string& deviceName, const std::string& sysRoot) {
    std::string name = deviceName;
    if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
    if (name.rfind("COM", 0) != 0) return name;

    const int number = ComPortNumber(name);
    const auto& mappings = CurrentPortMappings();
    if (const auto mapped = mappings.find(number); mapped != mappings.end() && !mapped->second.empty()) {
        return mapped->second;
    }

    const auto devices = MachineSerialDevices(sysRoot);
    if (number < 1 || static_cast<size_t>(number) > devices.size()) return {};
    return devices[static_cast<size_t>(number - 1)];
}

}  // namespace vexlo
