#include "config/AppSettings.h"

#include "config/ConsoleIniPath.h"
#include "config/IniProfile.h"

namespace vexlo {

AppSettings::AppSettings() : AppSettings(ConsoleIniPath()) {}

AppSettings::AppSettings(std::string iniPath) : filePath(std::move(iniPath)) { TransferSettings(true); }

void AppSettings::TransferSettings(bool load) {
    IniProfile profile(filePath, true);
    struct Key {
        const char* name;
        std::int32_t* field;
        std::int32_t fallback;
    };
    const Key keys[] = {{"ComPort", &comPort, 0}, {"Station", &station, 255}, {"AccessMode", &accessMode, 0},
                        {"USB_RS232", &usbEmulation, 0}};
    for (const auto& key : keys) {
        if (load) {
            *key.field = profile.ReadInt(kSection, key.name, key.fallback);
        } else {
            // A write that fails (read-only file, missing directory) leaves the fields as they are.
            (void)profile.WriteInt(kSection, key.name, *key.field);
        }
    }
}

bool AppSettings::EditSettings(const std::function<bool(AppSettings&)>& dialog) {
    const bool confirmed = dialog(*this);
    if (confirmed) TransferSettings(false);
    return confirmed;
}

void AppSettings::SetStation(std::int32_t newStation) {
    station = newStation;
    TransferSettings(false);
}

}  // namespace vexlo
