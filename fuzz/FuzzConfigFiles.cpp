// Arbitrary contents of "Serial.cfg", the INI file and the window-placement record.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "config/AppSettings.h"
#include "config/IniProfile.h"
#include "config/PlacementFit.h"
#include "config/PortsSection.h"
#include "config/WindowPlacementRecord.h"
#include "serial/PortTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string directory = [] {
        char pattern[] = "/tmp/vexlo-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr || chdir(made) != 0) std::abort();
        return std::string(made);
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"Serial.cfg", "VexloModbusTester.ini"}) {
        std::FILE* file = std::fopen(name, "wb");
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    vexlo::ResetPortTable();
    vexlo::LoadPortTable();
    for (int i = -1; i <= 40; ++i) (void)vexlo::DescribePort(i);

    vexlo::AppSettings settings(directory + "/VexloModbusTester.ini");
    vexlo::IniProfile profile(directory + "/VexloModbusTester.ini", true);
    (void)vexlo::ReadPortsSection(directory + "/VexloModbusTester.ini");
    (void)profile.WriteInt("Modbus", "Station", settings.station);
    (void)profile.ReadString("Modbus", "Station");

    // Any 44 bytes decode; fitting the result onto two screens must stay defined for every value.
    std::vector<std::uint8_t> record(data, data + size);
    record.resize(vexlo::WindowPlacementRecord::kSize);
    if (const auto placement = vexlo::WindowPlacementRecord::Decode(record)) {
        (void)vexlo::FitOntoScreens(*placement, {{0, 0, 1920, 1040}, {-1280, -200, 0, 824}});
    }
    return 0;
}
