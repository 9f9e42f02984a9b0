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

    // Computes the path from the current directory and loads the file.
    AppSettings();
    explicit AppSettings(std::string iniPath);

    const std::string& FilePath() const { return filePath; }

    std::int32_t comPort = 0;
    std::int32_t station = 255;
    std::int32_t accessMode = 0;
    std::int32_t usbEmulation = 0;

    // load true reads the four keys (a missing key keeps the default); false writes all four.
    void TransferSettings(bool load);
    // Runs the setup dialog on this object; when it confirms, saves. Returns the dialog's answer.
    bool EditSettings(const std::function<bool(AppSettings&)>& dialog);
    // Stores the station and rewrites the file.
    void SetStation(std::int32_t newStation);

private:
    std::string filePath;
};

}  // namespace vexlo
