#include "config/PortsSection.h"

#include <cctype>

#include "common/TextParse.h"
#include "config/IniProfile.h"

namespace vexlo {

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

std::map<int, std::string> ReadPortsSection(const std::string& iniPath) {
    const IniProfile profile(iniPath, true);
    std::map<int, std::string> mappings;
    for (const auto& key : profile.Keys(kPortsSection)) {
        const int number = PortsKeyNumber(key);
        if (number < 1 || mappings.count(number) > 0) continue;
        mappings[number] = profile.ReadString(kPortsSection, key).value_or("");
    }
    return mappings;
}

}  // namespace vexlo
