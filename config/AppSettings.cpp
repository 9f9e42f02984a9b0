#include "config/AppSettings.h"

#include "common/TextFormat.h"
#include "config/ConsoleIniPath.h"
#include "config/IniProfile.h"
#include "config/PortsSection.h"

namespace vexlo {

AppSettings::AppSettings() : AppSettings(ConsoleIniPath()) {}

AppSettings::AppSettings(std::string iniPath) : filePath(std::move(iniPath)) { TransferSettings(true); }

bool AppSettings::TransferSettings(bool load) {
    IniProfile profile(filePath, true);
    struct Key {
        const char* name;
        std::int32_t* field;
        std::int32_t fallback;
    };
    const Key keys[] = {{"ComPort", &comPort, 0},
                        {"Station", &station, kDefaultStation},
                        {"AccessMode", &accessMode, 0},
                        {"USB_RS232", &usbEmulation, 0}};
    bool written = true;
    for (const auto& key : keys) {
        if (load) {
            *key.field = profile.ReadInt(kSection, key.name, key.fallback);
        } else {
            written = profile.WriteInt(kSection, key.name, *key.field) && written;
        }
    }
    if (load) {
        sessionLog = profile.ReadInt(kOwnSection, "SessionLog", 0);
    } else if (sessionLog != 0 || profile.ReadString(kOwnSection, "SessionLog")) {
        // Files of operators who never switched it on stay as the four keys leave them.
        written = profile.WriteInt(kOwnSection, "SessionLog", sessionLog) && written;
    }
    return written;
}

std::string AppSettings::Directory() const {
    const auto slash = filePath.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : filePath.substr(0, slash);
}

AppSettings::Edit AppSettings::EditSettings(const std::function<bool(AppSettings&)>& dialog) {
    chosenPortDevice.clear();
    if (!dialog(*this)) return Edit::Cancelled;
    bool saved = TransferSettings(false);
    if (!chosenPortDevice.empty() && ReadPortsSection(filePath).count(comPort + 1) == 0) {
        IniProfile profile(filePath, true);
        saved = profile.WriteString(kPortsSection, FormatText("COM%d", comPort + 1), chosenPortDevice) && saved;
    }
    return saved ? Edit::Saved : Edit::NotSaved;
}

bool AppSettings::SetStation(std::int32_t newStation) {
    station = newStation;
    return TransferSettings(false);
}

}  // namespace vexlo
