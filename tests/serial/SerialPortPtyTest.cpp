#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "serial/PortTable.h"
#include "serial/SerialPort.h"
#include "serial/SerialUi.h"
#include "serial/TtyLine.h"
#include "simulator/PseudoTerminal.h"
#include "tests/support/CapturingSerialUi.h"
#include "tests/support/PtyResponder.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::Bytes;
using test::FromHex;
using test::PtyResponder;
using test::ReplyChunk;
using Clock = std::chrono::steady_clock;

class SerialPortPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MapPort(1, peer.DevicePath());
        port.SetPortIndex(0);
        ASSERT_TRUE(port.Open());
    }
    void TearDown() override { port.Close(); }

    // Sends one request and reads count bytes of the answer.
    Bytes Exchange(int count, bool* complete, double* elapsedMs = nullptr) {
        const Bytes request = FromHex("01 03 00 30 00 01 84 05");
        EXPECT_TRUE(port.WriteBytes(request.data(), static_cast<int>(request.size())));
        std::uint8_t buffer[300] = {};
        int received = 0;
        const auto start = Clock::now();
        *complete = port.ReadBytes(buffer, count, &received);
        if (elapsedMs) *elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        return Bytes(buffer, buffer + received);
    }

    test::ScopedWorkDir dir;
    test::CapturingSerialUi ui;
    PtyResponder peer;
    SerialPort port;
};

// What each "Serial.cfg" record shape leaves on the device, read back from the terminal itself
// through a second descriptor opened before the port took it. A pseudo-terminal forces eight data
// bits and no parity, but keeps the speed, odd or even, and the stop bits.
TEST(SerialLineSettingsTest, EachRecordShapeReachesTheDevice) {
    test::ScopedWorkDir dir;
    PtyResponder peer;
    dir.MapPort(2, peer.DevicePath());
    const int watcher = ::open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    struct Shape {
        std::uint32_t baud;
        std::uint8_t dataBits, parity, stopBits;
        speed_t speed;
        bool odd, twoStops;
    };
    const Shape shapes[] = {
        {9600, 8, 2, 0, B9600, false, false},
        {19200, 7, 1, 2, B19200, true, true},
        {38400, 8, 1, 1, B38400, true, true},  // one and a half stop bits: two here
        {115200, 7, 2, 0, B115200, false, false},
    };
    for (const Shape& shape : shapes) {
        PortSettings settings = GetPortSettings(1);
        settings.SetBaud(shape.baud);
        settings.dataBits = shape.dataBits;
        settings.parity = shape.parity;
        settings.stopBits = shape.stopBits;
        SetPortSettings(1, settings);
        SavePortTable();  // the next port reads "Serial.cfg" over the table
        SerialPort port;
        port.SetPortIndex(1);
        ASSERT_TRUE(port.Open());
        termios tio{};
        ASSERT_EQ(tcgetattr(watcher, &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), shape.speed) << shape.baud;
        EXPECT_EQ(cfgetispeed(&tio), shape.speed) << shape.baud;
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, shape.odd) << shape.baud;
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, shape.twoStops) << shape.baud;
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw
        port.Close();
    }
    ::close(watcher);
}

// A line whose driver refuses the kernel's RS485 mode but can set RTS, watched call by call; the
// descriptor is a real pseudo-terminal, so the frame really goes out.
class WatchedLine final : public TtyLine {
public:
    WatchedLine(std::unique_ptr<TtyLine> real, int peer) : real(std::move(real)), peer(peer) {}
    int Fd() const override { return real->Fd(); }
    bool EnableKernelRs485() override {
        calls.push_back("kernel RS485 refused");
        return false;
    }
    bool SetRts(bool on) override {
        calls.push_back(on ? "RTS on" : "RTS off");
        return true;
    }
    bool Drain() override {
        const bool drained = real->Drain();
        // The frame has reached the far end by now: the peer can read all of it.
        pollfd readable{peer, POLLIN, 0};
        poll(&readable, 1, 1000);
        int waiting = 0;
        ioctl(peer, FIONREAD, &waiting);
        calls.push_back("drain, " + std::to_string(waiting) + " bytes out");
        return drained;
    }
    void WaitMicroseconds(long microseconds) override {
        calls.push_back("wait " + std::to_string(microseconds) + " us");
    }

    std::vector<std::string> calls;

private:
    std::unique_ptr<TtyLine> real;
    int peer;
};

TEST(RtsDirectionTest, RtsFramesEachWriteWhereTheKernelCannot) {
    PseudoTerminal pty;
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    auto watched = std::make_unique<WatchedLine>(MakePosixTtyLine(fd), pty.MasterFd());
    WatchedLine* line = watched.get();
    auto device = MakeTtyDevice(std::move(watched));
    PortSettings settings{};
    settings.SetBaud(9600);
    settings.dataBits = 8;
    device->Configure(settings, SerialTimeouts{});
    const Bytes frame = FromHex("01 03 00 30 00 0d 84 00");
    std::size_t written = 0;
    ASSERT_TRUE(device->Write(frame.data(), frame.size(), &written));
    // RTS low to listen; raised before the frame, dropped one character (11 bits at 9600) after the
    // last bit left.
    EXPECT_EQ(line->calls, (std::vector<std::string>{"kernel RS485 refused", "RTS off", "RTS on", "drain, 8 bytes out",
                                                     "wait 1145 us", "RTS off"}));
    EXPECT_EQ(device->Describe(), "RS485 direction: RTS raised by the console around each write");

    // On a real pseudo-terminal RTS cannot be set: no toggling, and nothing reported.
    const int plain = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    auto ptyDevice = MakeTtyDevice(MakePosixTtyLine(plain));
    ptyDevice->Configure(settings, SerialTimeouts{});
    EXPECT_EQ(ptyDevice->Describe(), "");
}

TEST_F(SerialPortPtyTest, ExactLengthReplyReturnsAtOnce) {
    peer.ScriptReply(FromHex("01 03 02 12 34 b5 33"));
    bool complete = false;
    EXPECT_EQ(Exchange(7, &complete), FromHex("01 03 02 12 34 b5 33"));
    EXPECT_TRUE(complete);
    ASSERT_EQ(peer.Requests().size(), 1u);
    EXPECT_EQ(peer.Requests()[0], FromHex("01 03 00 30 00 01 84 05"));
}

TEST_F(SerialPortPtyTest, ShortReplyEndsAfterTheSilence) {
    peer.ScriptReply(FromHex("01 83 02 c0 f1"));
    bool complete = true;
    double elapsed = 0;
    const Bytes got = Exchange(8, &complete, &elapsed);
    EXPECT_FALSE(complete);
    EXPECT_EQ(got.size(), 5u);
    // Ended by the 50 ms of silence after the last byte, not by the 508 ms total.
    EXPECT_LT(elapsed, 400.0);
}

TEST_F(SerialPortPtyTest, ReplySplitByAPauseIsJoinedOnlyWhenThePauseIsShort) {
    peer.Script({{0, FromHex("01 03 02")}, {30, FromHex("12 34 b5 33")}});
    bool complete = false;
    EXPECT_EQ(Exchange(7, &complete).size(), 7u);
    EXPECT_TRUE(complete);
    peer.Script({{0, FromHex("01 03 02")}, {150, FromHex("12 34 b5 33")}});
    EXPECT_EQ(Exchange(7, &complete).size(), 3u);
    EXPECT_FALSE(complete);
}

TEST_F(SerialPortPtyTest, SilenceEndsAfterCountPlusReplyTimeout) {
    peer.ScriptSilence();
    bool complete = true;
    double elapsed = 0;
    EXPECT_TRUE(Exchange(29, &complete, &elapsed).empty());
    EXPECT_FALSE(complete);
    // 29 bytes x 1 ms + 500 ms: never earlier, and not much later.
    EXPECT_GE(elapsed, 528.0);
    EXPECT_LT(elapsed, 529.0 + 250.0);
}

TEST_F(SerialPortPtyTest, WriteDropsStaleInputFirst) {
    // Bytes that arrive between exchanges are stale: the next frame's read must not see them.
    peer.ScriptReply(FromHex("01 03 02 12 34 b5 33 ee ee"));
    bool complete = false;
    EXPECT_EQ(Exchange(7, &complete).size(), 7u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    peer.ScriptReply(FromHex("01 03 02 56 78 00 00"));
    EXPECT_EQ(Exchange(7, &complete), FromHex("01 03 02 56 78 00 00"));
}

TEST_F(SerialPortPtyTest, VanishedDeviceFailsAtOnce) {
    peer.VanishDevice();
    std::uint8_t buffer[8];
    int received = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(port.ReadBytes(buffer, 8, &received));
    EXPECT_LT((std::chrono::duration<double, std::milli>(Clock::now() - start).count()), 400.0);
}

TEST_F(SerialPortPtyTest, BusyPortIsRefusedWithTheSystemText) {
    // Another program holds the device: a second opener must be refused like Windows does.
    const int other = ::open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    port.Close();
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    SerialPort second;
    second.SetPortIndex(0);
    EXPECT_FALSE(second.Open());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Device or resource busy\n Serial Port -> COM1");
    second.Close();
    ::close(other);
    EXPECT_TRUE(port.Open());
}

TEST_F(SerialPortPtyTest, SharedIndexSharesTheHandle) {
    SerialPort other;
    other.SetPortIndex(0);
    EXPECT_TRUE(other.Open());
    EXPECT_EQ(SerialPort::UseCount(0), 2);
    other.Close();
    EXPECT_TRUE(port.IsOpen());
}

}  // namespace
}  // namespace vexlo
