#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "config/AppSettings.h"
#include "config/PortsSection.h"
#include "serial/PortChoice.h"
#include "serial/PortNameResolver.h"
#include "serial/SerialPortList.h"
#include "simulator/PseudoTerminal.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using Names = std::vector<std::string>;

TEST(SerialPortListTest, FiltersAndSortsByNumber) {
    EXPECT_EQ(SerialPortList::FilterAndSort({"COM10", "COM2", "COM1"}), (Names{"COM1", "COM2", "COM10"}));
    EXPECT_EQ(SerialPortList::FilterAndSort({"COM3", "CNCA0", "/dev/ttyUSB0", "COM1"}), (Names{"COM1", "COM3"}));
    EXPECT_EQ(SerialPortList::FilterAndSort({}), Names{});
    // Without digits the number is 0 and sorts first; equal numbers keep their order.
    EXPECT_EQ(SerialPortList::FilterAndSort({"COM5", "COMX", "COM05", "COM"}), (Names{"COMX", "COM", "COM5", "COM05"}));
    // The leading run of C, O and M is removed before the number is read.
    EXPECT_EQ(ComPortNumber("COMMO12"), 12);
    EXPECT_EQ(ComPortNumber("COM7x"), 7);
}

class FakeSysfs {
public:
    explicit FakeSysfs(const std::string& root) : root(root) { ::mkdir(root.c_str(), 0700); }
    void AddPort(const std::string& name, bool withDriver, const char* type = nullptr) {
        const std::string entry = root + "/" + name;
        ::mkdir(entry.c_str(), 0700);
        ::mkdir((entry + "/device").c_str(), 0700);
        if (withDriver) ::mkdir((entry + "/device/driver").c_str(), 0700);
        if (type) test::WriteWholeFile(entry + "/type", type);
    }
    std::string root;
};

TEST(SerialPortListTest, MachineListOrdersFamiliesAndSkipsEmptySlots) {
    test::ScopedWorkDir dir;
    FakeSysfs sys(dir.File("tty"));
    sys.AddPort("ttyACM0", true);
    sys.AddPort("ttyUSB10", true);
    sys.AddPort("ttyUSB2", true);
    sys.AddPort("ttyS0", true, "4\n");
    sys.AddPort("ttyS1", true, "0\n");  // legacy slot without a UART
    sys.AddPort("ttyS12", true, "4\n");
    sys.AddPort("tty0", false);  // a console, no serial driver
    sys.AddPort("ttyAMA0", true);
    EXPECT_EQ(MachineSerialDevices(sys.root),
              (Names{"/dev/ttyS0", "/dev/ttyS12", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyAMA0"}));
    EXPECT_TRUE(MachineSerialDevices(dir.File("missing")).empty());
}

// Keys as the console writes them and as written by hand: the port list and the opener agree on
// which COM number each one maps, whatever the case and leading zeros.
TEST(SerialPortListTest, IniMappingWinsOverTheMachineList) {
    test::ScopedWorkDir dir;
    test::WriteWholeFile(dir.File("VexloModbusTester.ini"),
                         "[Ports]\ncom37=/dev/lower\nCOM038=/dev/zeros\nCOM39x=/dev/not-a-port\nCOMPORT=/dev/none\n");
    dir.MapPort(3, "/dev/serial/by-id/usb-adapter");
    dir.MapPort(12, dir.File("sim"));
    EXPECT_EQ(ResolveDevicePath("COM3"), "/dev/serial/by-id/usb-adapter");
    EXPECT_EQ(ResolveDevicePath("\\\\.\\COM12"), dir.File("sim"));
    EXPECT_EQ(ResolveDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveDevicePath("COM37"), "/dev/lower");
    EXPECT_EQ(ResolveDevicePath("COM38"), "/dev/zeros");
    SerialPortList list;
    ASSERT_GE(list.PortCount(), 4);
    EXPECT_EQ(list.CurrentPosition(), 0);
    Names names;
    for (int i = 0; i < list.PortCount(); ++i) names.push_back(*list.PortNameAt(i));
    for (const char* mapped : {"COM3", "COM12", "COM37", "COM38"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), mapped), names.end()) << mapped;
    }
    EXPECT_EQ(std::find(names.begin(), names.end(), "COM39"), names.end());
    EXPECT_FALSE(list.PortNameAt(-1).has_value());
    EXPECT_FALSE(list.PortNameAt(list.PortCount()).has_value());
    EXPECT_EQ(PortsKeyNumber("cOm0012"), 12);
    EXPECT_EQ(PortsKeyNumber("COM"), 0);
}

TEST(PortChoiceTest, FixedListMapsPositionsToIndexes) {
    const PortChoices fixed = FixedPortList();
    ASSERT_EQ(fixed.names.size(), 40u);
    EXPECT_EQ(fixed.names[12], "COM 13");
    EXPECT_EQ(PositionOfPort(fixed, 12), 12);
    EXPECT_EQ(PositionOfPort(fixed, -1), -1);
    EXPECT_EQ(PositionOfPort(fixed, 40), -1);
    EXPECT_EQ(SelectedPortIndex(fixed, 39), 39);
    EXPECT_EQ(SelectedPortIndex(fixed, -1), -1);
}

TEST(PortChoiceTest, PortsPresentMapByTheirNumber) {
    PortChoices present{{"COM1", "COM3  /dev/ttyUSB0", "COM10", "COM30"}, true, {}};
    EXPECT_EQ(PositionOfPort(present, 2), 1);
    EXPECT_EQ(SelectedPortIndex(present, 2), 9);
    EXPECT_EQ(SelectedPortIndex(present, 1), 2);
    present.names.erase(present.names.begin() + 1);
    // With COM3 gone, its stored index selects nothing rather than COM30.
    EXPECT_EQ(PositionOfPort(present, 2), -1);
    EXPECT_EQ(PositionOfPort(present, 29), 2);
}

// The same adapter under a name that survives replugs: shown in Setup, and pinned in [Ports] when
// Setup is confirmed, unless the file maps that port already.
TEST(StableNamesTest, SetupShowsAndPinsTheStableName) {
    test::ScopedWorkDir dir;
    PseudoTerminal adapter;
    std::filesystem::create_directory(dir.File("by-id"));
    const std::string stable = dir.File("by-id/usb-Vexlo_RS485-if00-port0");
    std::filesystem::create_symlink(adapter.SlavePath(), stable);
    EXPECT_EQ(StableDeviceName(adapter.SlavePath(), dir.File("by-id")), stable);
    EXPECT_EQ(StableDeviceName("/dev/null", dir.File("by-id")), "");

    dir.MapPort(7, adapter.SlavePath());
    const PortChoices choices = FillPortList(dir.File("by-id"));
    const auto shown = std::find(choices.names.begin(), choices.names.end(), "COM7  " + stable);
    ASSERT_NE(shown, choices.names.end());
    const size_t position = static_cast<size_t>(shown - choices.names.begin());

    AppSettings settings(dir.File("VexloModbusTester.ini"));
    const auto choose = [&](AppSettings& edited) {
        edited.comPort = SelectedPortIndex(choices, static_cast<int>(position));
        edited.chosenPortDevice = choices.stableNames[position];
        return true;
    };
    // COM7 is mapped by hand already: kept as written.
    ASSERT_EQ(settings.EditSettings(choose), AppSettings::Edit::Saved);
    EXPECT_EQ(ReadPortsSection(dir.File("VexloModbusTester.ini")).at(7), adapter.SlavePath());
    // Without a mapping, the confirmed choice is pinned to the stable name.
    test::WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nComPort=0\n");
    ASSERT_EQ(settings.EditSettings(choose), AppSettings::Edit::Saved);
    EXPECT_EQ(ReadPortsSection(dir.File("VexloModbusTester.ini")).at(7), stable);
    EXPECT_EQ(AppSettings(dir.File("VexloModbusTester.ini")).comPort, 6);
}

}  // namespace
}  // namespace vexlo
