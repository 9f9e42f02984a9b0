// The serial port on real lines: pseudo-terminals to a scripted peer, and network ports against
// servers that misbehave on purpose, where each case ends within its bounds in time and memory and no
// reply is ever taken for another request's.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <thread>
#include <tuple>

#include "modbus/ModbusRtuMaster.h"
#include "serial/PortTable.h"
#include "serial/SerialDevice.h"
#include "serial/SerialPort.h"
#include "serial/TtyLine.h"
#include "simulator/PseudoTerminal.h"
#include "simulator/harness/PtyResponder.h"
#include "tests/support/CapturingSerialUi.h"
#include "tests/support/Hex.h"
#include "tests/support/ManualClock.h"
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

// Each "Serial.cfg" record shape on the device, read back through a second descriptor.
TEST_F(SerialPortPtyTest, EachRecordShapeReachesTheDevice) {
    port.Close();
    const int watcher = ::open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    // Baud, data bits, parity, stop bits; and all a pseudo-terminal keeps: speed, odd parity, two stop bits.
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
        EXPECT_EQ(std::tuple(cfgetospeed(&tio), cfgetispeed(&tio), (tio.c_cflag & PARODD) != 0,
                             (tio.c_cflag & CSTOPB) != 0, tio.c_lflag & (ICANON | ECHO | ISIG)),
                  std::tuple(speed, speed, odd, twoStops, 0u));
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

// Generous: the faults these cases replay held a port for 15 s to minutes and took hundreds of MB.
constexpr auto kTimeBound = std::chrono::seconds(20);
constexpr long kMemoryBoundKb = 64 * 1024;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key && key != "VmRSS:") status.ignore(1 << 10, '\n');
    status >> value;
    return value;
}

// A loopback server that runs one behaviour on each connection it accepts, one at a time.
struct FaultServer {
    using Behaviour = std::function<void(FaultServer& self, int fd)>;
    explicit FaultServer(Behaviour behaviour) : behaviour(std::move(behaviour)) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), length);
        listen(listener, 4);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        worker = std::thread([this] { Run(); });
    }
    ~FaultServer() {
        stopping = true;
        worker.join();
        close(listener);
    }
    std::string Address(const char* scheme) const { return scheme + std::string("127.0.0.1:") + std::to_string(port); }
    // True once the fd is readable, false when the server stops first.
    bool Readable(int fd, short events = POLLIN) const {
        pollfd p{fd, events, 0};
        while (!stopping) {
            if (poll(&p, 1, 20) > 0) return true;
        }
        return false;
    }
    void Flood(int fd, const Bytes& bytes) const {
        while (Readable(fd, POLLOUT) && send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) {
        }
    }
    void Listen(int fd) const {
        std::uint8_t buffer[512];
        while (Readable(fd) && read(fd, buffer, sizeof buffer) > 0) {
        }
    }
    void Run() {
        while (Readable(listener)) {
            const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            ++accepted;
            behaviour(*this, fd);
            close(fd);
        }
    }

    Behaviour behaviour;
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    std::atomic<int> accepted{0};
    std::atomic<bool> stopping{false};
    std::thread worker;
};

void Say(int fd, const Bytes& bytes) { send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The server agrees to the COM-PORT-OPTION (IAC DO 44) first, as ser2net does before a refusal.
const struct {
    const char* name;
    Bytes greeting;
    Bytes flood;  // sent over and over after the greeting; without it the server closes, or listens
    bool listens;
    const char* error;  // what the operator is shown
} kOpenCases[] = {
    {"flood during negotiation", {}, FromHex("ff fd 2c 6a 75 6e 6b 0d 0a 01"), false, "Protocol error"},
    {"endless sub-negotiation", FromHex("ff fa 2c 65"), Bytes(4096, 0x41), false, "Protocol error"},
    {"accept and silence", {}, {}, true, "Connection timed out"},
    {"close after greeting", Text("\xff\xfd\x2c\a\r\nBusy:\tport 1\x1b\r\n2nd\r\n"), {}, false, "Busy:port 1"},
};

class HostileServerTest : public ::testing::Test {
protected:
    void TearDown() override { SetSerialDeviceOpener(nullptr); }
    void Map(const std::string& address) {
        dir.MapPort(1, address);
        master.SelectStation(1);
        master.linkEnabled = true;
    }
    int Read(int address, std::uint8_t* data) { return master.ReadRegisters(address, 1, data); }

    test::ScopedWorkDir dir;
    test::CapturingSerialUi ui;
    ModbusRtuMaster master;
};

TEST_F(HostileServerTest, OpeningEndsWithinItsBoundsWhateverTheServerSends) {
    for (const auto& row : kOpenCases) {
        SCOPED_TRACE(row.name);
        FaultServer server([&row](FaultServer& s, int fd) {
            Say(fd, row.greeting);
            if (!row.flood.empty()) s.Flood(fd, row.flood);
            if (row.listens) s.Listen(fd);
        });
        Map(server.Address("rfc2217://"));
        ui.messages.clear();
        const long before = ResidentKb();
        const auto start = Clock::now();
        EXPECT_FALSE(master.Open());
        EXPECT_LT(Clock::now() - start, kTimeBound);
        EXPECT_LT(ResidentKb() - before, kMemoryBoundKb);
        EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(row.error) + "\n Serial Port -> COM1"});
        master.Close();
    }
}

TEST_F(HostileServerTest, FloodDuringATransactionHoldsNoTransactionLong) {
    FaultServer server([](FaultServer& s, int fd) {
        std::uint8_t request[8];
        if (recv(fd, request, sizeof request, MSG_WAITALL) != 8) return;
        Say(fd, test::WithCrc(FromHex("01 03 02 5a c3")));  // the first request is answered
        s.Flood(fd, FromHex("ee 11 20 66 6c 6f 6f 64"));
    });
    Map(server.Address("tcp://"));
    ASSERT_TRUE(master.Open());
    std::uint8_t data[2] = {};
    ASSERT_EQ(Read(0x0030, data), 1);
    const long before = ResidentKb();
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(Read(0x0030, data), 0);
        EXPECT_LT(Clock::now() - start, kTimeBound);
    }
    EXPECT_LT(ResidentKb() - before, kMemoryBoundKb);
    // Flood bytes are bad replies, never time-outs; none reached the buffer.
    EXPECT_EQ(master.Counters(), (LinkCounters{10, 9, 9, 0, 0, 0}));
    EXPECT_EQ(test::ToHex(data, 2), "5a c3");
}

TEST_F(HostileServerTest, ReopenAgainstASilentServerIsOneAttemptPerTransaction) {
    std::atomic<bool> silent{false};  // until then each connection is dropped at once: the port is lost
    FaultServer server([&silent](FaultServer& s, int fd) {
        if (silent) s.Listen(fd);
    });
    // Each attempt to open moves the replaceable clock by the time it really took.
    test::ManualClock clock;
    SetSerialDeviceOpener([&clock](const std::string& name, std::string* error) {
        const auto start = Clock::now();
        auto device = OpenPlatformSerialDevice(name, error);
        clock.AdvanceUs(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
        return device;
    });
    Map(server.Address("tcp://"));
    ASSERT_TRUE(master.Open());
    std::uint8_t data[2] = {};
    EXPECT_EQ(Read(0x0030, data), 0);
    silent = true;  // and a Telnet open now waits its 2 s for a negotiation that never comes
    dir.MapPort(1, server.Address("rfc2217://"));
    const int before = server.accepted;
    clock.AdvanceMs(1000);
    EXPECT_EQ(Read(0x0030, data), 0);
    EXPECT_EQ(server.accepted, before + 1);  // one attempt, though it outlasted the second
    clock.AdvanceMs(999);
    EXPECT_EQ(Read(0x0030, data), 0);
    EXPECT_EQ(server.accepted, before + 1);  // a second counted from the end of the attempt
}

// A station that answers each read 0.9 to 1.5 read time-outs after the kernel took the request in, or
// drops the reply when it is later. The console waits for quiet up to twice the time-out, so only a
// reply whose send still ended past 1.75 time-outs (counted overdue) could slip through.
void AnswerLate(const FaultServer& server, int fd, int timeoutUs, std::atomic<int>& overdue) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    std::mt19937 random(18);
    std::uniform_int_distribution<int> roundTrip(timeoutUs * 9 / 10, timeoutUs * 3 / 2);
    std::uint8_t request[8];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    iovec io{request, sizeof request};
    msghdr message{nullptr, 0, &io, 1, control, sizeof control, 0};
    while (server.Readable(fd) && recvmsg(fd, &message, MSG_WAITALL) == sizeof request) {
        timespec at{};
        if (const cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr && c->cmsg_type == SCM_TIMESTAMPNS) {
            std::memcpy(&at, CMSG_DATA(c), sizeof at);
        }
        const std::chrono::sys_time<std::chrono::nanoseconds> arrival{std::chrono::seconds(at.tv_sec) +
                                                                      std::chrono::nanoseconds(at.tv_nsec)};
        const Bytes reply = test::WithCrc(request[2] == 0x00 ? FromHex("01 03 02 a5 0f") : FromHex("01 03 02 5a f0"));
        std::this_thread::sleep_until(arrival + std::chrono::microseconds(roundTrip(random)));
        message.msg_controllen = sizeof control;
        if (std::chrono::system_clock::now() >= arrival + std::chrono::microseconds(timeoutUs * 3 / 2)) continue;
        Say(fd, reply);
        if (std::chrono::system_clock::now() > arrival + std::chrono::microseconds(timeoutUs * 7 / 4)) ++overdue;
    }
}

TEST_F(HostileServerTest, LateRepliesAreNeverTakenForTheNextRequest) {
    // No reply time-out beyond the 1 ms per byte: 7 ms for a one-register read, so that many fit.
    static constexpr int kReadUs = 7000;
    master.replyTimeoutMs = 0;
    std::atomic<int> overdue{0};
    FaultServer server([&overdue](FaultServer& s, int fd) { AnswerLate(s, fd, kReadUs, overdue); });
    test::ManualClock clock;  // the gap between transactions is not waited in real time
    Map(server.Address("tcp://"));
    ASSERT_TRUE(master.Open());
    int right = 0;
    int wrong = 0;
    for (int i = 0; i < 200; ++i) {
        std::uint8_t data[2] = {};
        if (Read(i % 2 ? 0x6000 : 0x0030, data) == 0) continue;
        ++(test::ToHex(data, 2) == (i % 2 ? "5a f0" : "a5 0f") ? right : wrong);
    }
    EXPECT_LE(wrong, overdue) << right << " right";
    EXPECT_GT(master.Counters().timeouts, 0);  // replies did come late
}

}  // namespace
}  // namespace vexlo
