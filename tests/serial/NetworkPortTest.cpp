// Instruments behind serial device servers: socat as a raw TCP server, ser2net speaking RFC 2217,
// both on the simulated instrument's pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "instrument/TesterDevice.h"
#include "serial/PortTable.h"
#include "serial/SerialUi.h"
#include "tests/support/CapturingSerialUi.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Hex.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorThread.h"

namespace vexlo {
namespace {

using test::ChildProcess;

class NetworkPortTest : public ::testing::Test {
protected:
    std::unique_ptr<ChildProcess> StartRelay(int port) {
        auto relay = std::make_unique<ChildProcess>(std::vector<std::string>{
            SOCAT_PROGRAM, "-d", "-d", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr",
            "FILE:" + simulator.PortPath() + ",raw,echo=0"});
        EXPECT_TRUE(relay->WaitForOutput("listening on", 5000));
        return relay;
    }
    bool Open(TesterDevice& console, int comNumber, const std::string& address) {
        dir.MapPort(comNumber, address);
        console.SetPortIndex(comNumber - 1);
        console.SelectStation(1);
        console.linkEnabled = true;
        return console.Open();
    }

    test::ManualClock clock;
    test::ScopedWorkDir dir;
    test::SimulatorThread simulator;
    test::CapturingSerialUi ui;
    TesterDevice device;
    StatusRecord status;
};

TEST_F(NetworkPortTest, RawTcpCarriesTheFramesAndComesBackAfterABreak) {
    const int port = test::FreeTcpPort();
    const std::string address = "tcp://127.0.0.1:" + std::to_string(port);
    auto relay = StartRelay(port);
    ASSERT_TRUE(Open(device, 1, address));
    ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
    EXPECT_TRUE(status.EndOfCycle());

    // The server takes one connection: a second console is refused as it refuses it.
    TesterDevice second;
    EXPECT_FALSE(Open(second, 2, address));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Connection refused\n Serial Port -> COM2"});

    // The connection breaks: the port comes back by itself with the server, tried at most once a second.
    relay->Stop();
    EXPECT_EQ(device.ReadStatus(status), kDeviceFailed);
    relay = StartRelay(port);
    EXPECT_EQ(device.ReadStatus(status), kDeviceFailed);  // within the second: not tried again
    clock.AdvanceMs(1000);
    EXPECT_EQ(device.ReadStatus(status), kDeviceOk);
    EXPECT_EQ(ui.messages.size(), 1u);  // no message for the tries in between
}

TEST_F(NetworkPortTest, Rfc2217SetsTheServersLineAndEscapesFF) {
    // The line as the server leaves it on the instrument's side, read back from the terminal.
    const int watcher = ::open(simulator.PortPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    PortSettings settings = GetPortSettings(0);
    settings.SetBaud(19200);
    settings.parity = 1;
    settings.stopBits = 2;
    SetPortSettings(0, settings);
    SavePortTable();

    const int port = test::FreeTcpPort();
    const std::string config = dir.File("ser2net.yaml");
    std::ofstream(config) << "%YAML 1.1\n---\nconnection: &instrument\n  accepter: telnet(rfc2217),tcp,127.0.0.1,"
                          << port << "\n  enable: on\n  connector: serialdev," << simulator.PortPath()
                          << ",9600e81,local\n";
    ChildProcess server({SER2NET_PROGRAM, "-n", "-d", "-c", config});
    ASSERT_TRUE(test::WaitForListener(port, 5000));
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(port);
    ASSERT_TRUE(Open(device, 1, address));
    ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
    termios tio{};
    ASSERT_EQ(tcgetattr(watcher, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_NE(tio.c_cflag & PARODD, 0u);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);

    // 0xFF in the data both ways: written as FF FF, read back as FF FF.
    const std::uint8_t ones[2] = {0xFF, 0xFF};
    ASSERT_EQ(device.WriteRegisters(0x6000, 1, ones), 1);
    std::uint8_t back[2] = {};
    ASSERT_EQ(device.ReadRegisters(0x6000, 1, back), 1);
    EXPECT_EQ(test::ToHex(back, 2), "ff ff");

    TesterDevice second;
    EXPECT_FALSE(Open(second, 2, address));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Port already in use\n Serial Port -> COM2"});
    ::close(watcher);
}

}  // namespace
}  // namespace vexlo
