#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "serial/PortTable.h"
#include "serial/SerialPort.h"
#include "serial/SerialUi.h"
#include "tests/support/CapturingSerialUi.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::ReadWholeFile;
using test::ScopedWorkDir;
using test::ToHex;
using test::WriteWholeFile;

TEST(PortTableTest, FirstRunCreatesTheDefaultFile) {
    ScopedWorkDir dir;
    { SerialPort port; }
    const std::string content = ReadWholeFile(dir.File("Serial.cfg"));
    ASSERT_EQ(content.size(), 560u);
    EXPECT_EQ(ToHex(reinterpret_cast<const std::uint8_t*>(content.data()), 14),
              "43 4f 4d 31 00 00 80 25 00 00 08 00 00 02");
    EXPECT_EQ(content.substr(14 * 39, 5), "COM40");
    EXPECT_EQ(DescribePort(0), "1 : 9600, 8, E, 1, None");
}

TEST(PortTableTest, ShortFileFillsOnlyTheEntriesItCovers) {
    ScopedWorkDir dir;
    ResetPortTable();
    PortSettings fast = GetPortSettings(0);
    fast.SetBaud(115200);
    fast.parity = 0;
    fast.stopBits = 2;
    fast.handshake = 1;
    std::string image(reinterpret_cast<const char*>(&fast), 14);
    image += std::string("COM2\0\0", 6) + std::string(3, '\0');  // half of entry 1
    WriteWholeFile(dir.File("Serial.cfg"), image);
    ResetPortTable();
    LoadPortTable();
    EXPECT_EQ(DescribePort(0), "1 : 115200, 8, N, 2, Hard");
    EXPECT_EQ(GetPortSettings(1).Baud() & 0xFFFFFFu, 0u);  // covered bytes came from the file
    EXPECT_EQ(GetPortSettings(1).parity, 2);               // the uncovered tail keeps its default
    EXPECT_EQ(DescribePort(2), "3 : 9600, 8, E, 1, None");
}

TEST(PortTableTest, OutOfRangeIndexesUseTheFirstEntry) {
    ScopedWorkDir dir;
    ResetPortTable();
    PortSettings changed = GetPortSettings(3);
    changed.SetBaud(19200);
    SetPortSettings(45, changed);
    EXPECT_EQ(GetPortSettings(0).Baud(), 19200u);
    EXPECT_EQ(GetPortSettings(40).Baud(), 19200u);
    EXPECT_EQ(GetPortSettings(-1).Baud(), 19200u);
    EXPECT_EQ(std::string(GetPortSettings(0).name), "COM4");
}

TEST(PortTableTest, TextsForCodes) {
    EXPECT_EQ(HandshakeName(3), "Unknown");
    ResetPortTable();
    PortSettings odd = GetPortSettings(4);
    odd.parity = 1;
    odd.stopBits = 1;
    odd.handshake = 2;
    SetPortSettings(4, odd);
    EXPECT_EQ(DescribePort(4), "5 : 9600, 8, O, 1.5, Soft");
    odd.parity = 7;
    odd.stopBits = 9;
    SetPortSettings(4, odd);
    EXPECT_EQ(DescribePort(4), "5 : 9600, 8, ?, ?, Soft");
}

TEST(PortTableTest, UnwritableDirectoryIsSilent) {
    ScopedWorkDir dir;
    WriteWholeFile(dir.File("dummy"), "");
    // A directory named like the file cannot be opened as one: load falls back, save fails quietly.
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("Serial.cfg")));
    ResetPortTable();
    LoadPortTable();
    SavePortTable();
    EXPECT_EQ(DescribePort(0), "1 : 9600, 8, E, 1, None");
}

TEST(SerialPortTest, DeviceNames) {
    std::vector<std::string> names;
    for (const int index : {0, 8, 9, 39}) names.push_back(SerialPort::DeviceName(index));
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM9", "\\\\.\\COM10", "\\\\.\\COM40"}));
}

TEST(SerialPortTest, MissingPortKeepsItsUsesAndNeverOpens) {
    ScopedWorkDir dir;
    test::CapturingSerialUi ui;
    dir.MapPort(7, dir.File("no-such-device"));
    SerialPort port;
    port.SetPortIndex(6);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(SerialPort::UseCount(6), 2);
#if defined(_WIN32)
    const std::string missing = "File not found.\r\n\n Serial Port -> COM7";  // the system's own text
#else
    const std::string missing = "No such file or directory\n Serial Port -> COM7";
#endif
    EXPECT_EQ(ui.messages, (std::vector<std::string>{missing, missing}));
    EXPECT_EQ(ui.waits, 2);
    std::uint8_t byte = 0;
    int received = -1;
    EXPECT_FALSE(port.WriteBytes(&byte, 1));
    EXPECT_FALSE(port.ReadBytes(&byte, 1, &received));
    EXPECT_EQ(received, 0);
    for (int i = 0; i < 3; ++i) port.Close();  // once more than it opened: the count stays at 0
    EXPECT_EQ(SerialPort::UseCount(6), 0);
}

}  // namespace
}  // namespace vexlo
