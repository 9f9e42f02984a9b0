#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <tuple>

#include "serial/PortTable.h"
#include "serial/SerialPort.h"
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

// The port on COM1, wired to a scripted peer through a pseudo-terminal.
class SerialPortPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MapPort(1, peer.DevicePath());
        ASSERT_TRUE(port.Open());
    }
    void TearDown() override { port.Close(); }

    // Sends the request and reads count bytes of the answer; complete tells whether all came.
    Bytes Exchange(int count, bool* complete) {
        EXPECT_TRUE(port.WriteBytes(request.data(), static_cast<int>(request.size())));
        std::uint8_t buffer[300] = {};
        int received = 0;
        const auto start = Clock::now();
        *complete = port.ReadBytes(buffer, count, &received);
        readMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        return Bytes(buffer, buffer + received);
    }

    const Bytes request = FromHex("01 03 00 30 00 01 84 05");
    double readMs = 0;
    test::ScopedWorkDir dir;
    test::CapturingSerialUi ui;
    PtyResponder peer;
    SerialPort port;
};

// Each "Serial.cfg" record shape on the device, read back through a second descriptor; a
// pseudo-terminal keeps only the speed, odd or even, and the stop bits.
TEST_F(SerialPortPtyTest, EachRecordShapeReachesTheDevice) {
    port.Close();
    const int watcher = ::open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    // Baud, data bits, parity, stop bits; and what the terminal keeps: speed, odd parity, two stop bits.
    const std::tuple<std::uint32_t, std::uint8_t, std::uint8_t, std::uint8_t, speed_t, bool, bool> shapes[] = {
        {9600, 8, 2, 0, B9600, false, false},
        {19200, 7, 1, 2, B19200, true, true},
        {38400, 8, 1, 1, B38400, true, true},  // one and a half stop bits: two here
        {115200, 7, 2, 0, B115200, false, false},
    };
    for (const auto& [baud, dataBits, parity, stopBits, speed, odd, twoStops] : shapes) {
        SCOPED_TRACE(baud);
        PortSettings settings = GetPortSettings(0);
        settings.SetBaud(baud);
        settings.dataBits = dataBits;
        settings.parity = parity;
        settings.stopBits = stopBits;
        SetPortSettings(0, settings);
        SavePortTable();
        ResetPortTable();
        LoadPortTable();  // the record as read back from "Serial.cfg"
        ASSERT_TRUE(port.Open());
        termios tio{};
        ASSERT_EQ(tcgetattr(watcher, &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), speed);
        EXPECT_EQ(cfgetispeed(&tio), speed);
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, odd);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, twoStops);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw
        port.Close();
    }
    ::close(watcher);
}

// A line whose driver refuses the kernel's RS485 mode but can set RTS, on a real pseudo-terminal.
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
    void WaitMicroseconds(long us) override { calls.push_back("wait " + std::to_string(us) + " us"); }

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
    // RTS low to listen; raised before the frame, dropped one character (11 bits at 9600) after it.
    EXPECT_EQ(line->calls, (std::vector<std::string>{"kernel RS485 refused", "RTS off", "RTS on", "drain, 8 bytes out",
                                                     "wait 1145 us", "RTS off"}));
    EXPECT_EQ(device->Describe(), "RS485 direction: RTS raised by the console around each write");

    // On a real pseudo-terminal RTS cannot be set: no toggling, and nothing reported.
    const int plain = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    auto ptyDevice = MakeTtyDevice(MakePosixTtyLine(plain));
    ptyDevice->Configure(settings, SerialTimeouts{});
    EXPECT_EQ(ptyDevice->Describe(), "");
}

// How one read ends. Pauses are none or far longer than the 50 ms of silence that end a read, so a
// slow machine cannot change a verdict.
struct ReadRow {
    const char* name;
    int count;
    const char* received;
    bool complete;
    double atLeastMs;                                 // the read never ends before this
    std::vector<std::pair<int, const char*>> script;  // pause in ms, then bytes
};

const ReadRow kReadRows[] = {
    {"exact length", 7, "01 03 02 12 34 b5 33", true, 0, {{0, "01 03 02 12 34 b5 33"}}},
    {"short reply ends after the silence", 8, "01 83 02 c0 f1", false, 50, {{0, "01 83 02 c0 f1"}, {300, "ee ee ee"}}},
    {"reply in two pieces is joined", 7, "01 03 02 12 34 b5 33", true, 0, {{0, "01 03 02"}, {0, "12 34 b5 33"}}},
    {"a long pause ends the read", 7, "01 03 02", false, 50, {{0, "01 03 02"}, {200, "12 34 b5 33"}}},
    {"silence ends after count plus reply time-out", 29, "", false, 529, {}},
};

void PrintTo(const ReadRow& row, std::ostream* os) { *os << row.name; }

class SerialReadTest : public SerialPortPtyTest, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(SerialReadTest, EachWayAReadEnds) {
    const ReadRow& row = GetParam();
    std::vector<ReplyChunk> script;
    for (const auto& [pauseMs, hex] : row.script) script.push_back({pauseMs, FromHex(hex)});
    peer.Script(script);
    bool complete = false;
    EXPECT_EQ(test::ToHex(Exchange(row.count, &complete)), row.received);
    EXPECT_EQ(complete, row.complete);
    EXPECT_GE(readMs, row.atLeastMs);
    EXPECT_EQ(peer.Requests(), std::vector<Bytes>{request});
}

INSTANTIATE_TEST_SUITE_P(Rows, SerialReadTest, ::testing::ValuesIn(kReadRows));

TEST_F(SerialPortPtyTest, WriteDropsStaleInputFirst) {
    // The two bytes past the reply wait in the port when the read ends: the next read must not see them.
    peer.ScriptReply(FromHex("01 03 02 12 34 b5 33 ee ee"));
    bool complete = false;
    EXPECT_EQ(Exchange(7, &complete).size(), 7u);
    peer.ScriptReply(FromHex("01 03 02 56 78 00 00"));
    EXPECT_EQ(Exchange(7, &complete), FromHex("01 03 02 56 78 00 00"));
}

TEST_F(SerialPortPtyTest, VanishedDeviceFailsAtOnce) {
    // A read time-out of a minute: only a read that notices the device has gone ends well before it.
    port.Close();
    port.replyTimeoutMs = 60000;
    ASSERT_TRUE(port.Open());
    peer.VanishDevice();
    std::uint8_t buffer[8];
    int received = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(port.ReadBytes(buffer, 8, &received));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

TEST_F(SerialPortPtyTest, SameIndexSharesTheHandleAnotherProgramIsRefused) {
    SerialPort second;
    EXPECT_TRUE(second.Open());
    EXPECT_EQ(SerialPort::UseCount(0), 2);
    second.Close();
    EXPECT_TRUE(port.IsOpen());
    // Another program holds the device: a second opener must be refused like Windows does.
    const int other = ::open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    port.Close();
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device or resource busy\n Serial Port -> COM1"});
    second.Close();
    ::close(other);
    EXPECT_TRUE(port.Open());
}

}  // namespace
}  // namespace vexlo
