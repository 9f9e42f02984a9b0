#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vexlo {

// The four choices that survive between runs, in section "Modbus" of the INI file in the current
// directory. Loaded at construction; written only when the setup is confirmed or a station is found.
class AppSettings {
public:
    static constexpr const char* kSection = "Modbus";
    // What this console adds to the file, apart from the four keys above.
    static constexpr const char* kOwnSection = "Vexlo";

    // Computes the path from the current directory and loads the file.
    AppSettings();
    explicit AppSettings(std::string iniPath);

    const std::string& FilePath() const { return filePath; }

    std::int32_t comPort = 0;
    std::int32_t station = kDefaultStation;
    std::int32_t accessMode = 0;
    std::int32_t usbEmulation = 0;
    // 1: every traced line also goes to a file of the day beside the INI file ([Vexlo] SessionLog).
    std::int32_t sessionLog = 0;
    std::string Directory() const;
    // The stable name of the chosen port's device (/dev/serial/by-id/...), set by the setup dialog: a
    // confirmed setup maps the port to it in [Ports], unless the file maps that port already.
    std::string chosenPortDevice;

    // The station put on the line: the stored one when it is a real station (1 to 255), else the
    // default. A stored 0 would broadcast and an unanswerable station would only time out.
    static constexpr std::int32_t kDefaultStation = 255;
    static bool IsLineStation(std::int32_t value) { return value >= 1 && value <= 255; }
    std::int32_t LineStation() const { return IsLineStation(station) ? station : kDefaultStation; }

    // load true reads the four keys (a missing key keeps the default); false writes all four and
    // tells whether the file took them. The in-memory fields keep their values either way.
    bool TransferSettings(bool load);

    enum class Edit { Cancelled, Saved, NotSaved };
    // Runs the setup dialog on this object; when it confirms, saves.
    Edit EditSettings(const std::function<bool(AppSettings&)>& dialog);
    // Stores the station and rewrites the file; false when the file could not be written.
    bool SetStation(std::int32_t newStation);

private:
    std::string filePath;
};

}  // namespace vexlo
