#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <tuple>

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

// A sysfs tty class directory: each port's name, whether a serial driver is bound to it, and its
// "type" file (none where the kernel writes none). ttyS1 is a legacy slot without a UART, tty0 a console.
TEST(SerialPortListTest, MachineListOrdersFamiliesAndSkipsEmptySlots) {
    test::ScopedWorkDir dir;
    const std::string root = dir.File("tty");
    const std::tuple<const char*, bool, const char*> ports[] = {{"ttyACM0", true, nullptr}, {"ttyUSB10", true, nullptr},
                                                                {"ttyUSB2", true, nullptr}, {"ttyS0", true, "4\n"},
                                                                {"ttyS1", true, "0\n"},     {"ttyS12", true, "4\n"},
                                                                {"tty0", false, nullptr},   {"ttyAMA0", true, nullptr}};
    for (const auto& [name, withDriver, type] : ports) {
        const std::string entry = root + "/" + name;
        std::filesystem::create_directories(entry + (withDriver ? "/device/driver" : "/device"));
        if (type) test::WriteWholeFile(entry + "/type", type);
    }
    EXPECT_EQ(MachineSerialDevices(root),
              (Names{"/dev/ttyS0", "/dev/ttyS12", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyAMA0"}));
    EXPECT_TRUE(MachineSerialDevices(dir.File("missing")).empty());
    // Without a mapping COMn is the n-th of them, the last one included.
    EXPECT_EQ((Names{ResolveDevicePath("COM6", root), ResolveDevicePath("COM7", root)}), (Names{"/dev/ttyAMA0", ""}));
}

// Keys as the console writes them and as written by hand: the port list and the opener agree.
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

// The name that survives replugs: shown in Setup, and pinned in [Ports] unless the file maps that port.
TEST(StableNamesTest, SetupShowsAndPinsTheStableName) {
    test::ScopedWorkDir dir;
    PseudoTerminal adapter;
    std::filesystem::create_directory(dir.File("by-id"));
    const std::string stable = dir.File("by-id/usb-Vexlo_RS485-if00-port0");
    std::filesystem::create_symlink(adapter.SlavePath(), stable);
    EXPECT_EQ(StableDeviceName("/dev/null", dir.File("by-id")), "");
    dir.MapPort(7, adapter.SlavePath());
    const PortChoices choices = FillPortList(dir.File("by-id"));
    const auto shown = std::find(choices.names.begin(), choices.names.end(), "COM7  " + stable);
    ASSERT_NE(shown, choices.names.end());
    const auto position = static_cast<size_t>(shown - choices.names.begin());
    const std::string ini = dir.File("VexloModbusTester.ini");
    const auto choose = [&](AppSettings& edited) {
        edited.comPort = SelectedPortIndex(choices, static_cast<int>(position));
        edited.chosenPortDevice = choices.stableNames[position];
        return true;
    };
    // COM7 mapped by hand already is kept as written; without a mapping, the choice is pinned.
    for (const auto& [before, pinned] : {std::pair{test::ReadWholeFile(ini), adapter.SlavePath()},
                                         std::pair{std::string("[Modbus]\nComPort=0\n"), stable}}) {
        test::WriteWholeFile(ini, before);
        ASSERT_EQ(AppSettings(ini).EditSettings(choose), AppSettings::Edit::Saved);
        EXPECT_EQ(ReadPortsSection(ini).at(7), pinned);
    }
    EXPECT_EQ(AppSettings(ini).comPort, 6);
}

}  // namespace
}  // namespace vexlo
