// Network ports against servers that misbehave on purpose: each case ends within its bounds in time
// and memory, and no reply is ever taken for another request's.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "modbus/Crc16.h"
#include "modbus/ModbusRtuMaster.h"
#include "serial/SerialDevice.h"
#include "serial/TelnetCodec.h"
#include "tests/support/CapturingSerialUi.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// Generous: the faults these cases replay held a port for 15 s to minutes and took hundreds of MB.
constexpr auto kTimeBound = std::chrono::seconds(20);
constexpr long kMemoryBoundKb = 64 * 1024;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:" && status >> value) return value;
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

// A loopback server that runs one behaviour on each connection it accepts, one at a time.
class FaultServer {
public:
    using Behaviour = std::function<void(int fd)>;
    explicit FaultServer(Behaviour behaviour) : behaviour(std::move(behaviour)) {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
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
    int Accepted() const { return accepted; }
    bool Running() const { return !stopping; }

    // Sends the bytes over and over until the client goes.
    void Flood(int fd, const Bytes& bytes) const {
        while (Running()) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN) return;
        }
    }
    // Reads what comes and says nothing until the client goes.
    void Listen(int fd) const {
        std::uint8_t buffer[512];
        while (Running()) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0 && read(fd, buffer, sizeof buffer) <= 0) return;
        }
    }

private:
    void Run() {
        while (Running()) {
            pollfd p{listener, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++accepted;
            behaviour(fd);
            close(fd);
        }
    }

    Behaviour behaviour;
    int listener = -1;
    int port = 0;
    std::atomic<int> accepted{0};
    std::atomic<bool> stopping{false};
    std::thread worker;
};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The server agrees to the option, as ser2net does before it turns a client away.
const Bytes kAgrees = {TelnetCodec::kIac, TelnetCodec::kDo, TelnetCodec::kComPortOption};

struct OpenCase {
    const char* name;
    std::function<void(FaultServer&, int fd)> behaviour;
    const char* error;  // what the operator is shown
};

const OpenCase kOpenCases[] = {
    {"flood during negotiation",
     [](FaultServer& server, int fd) { server.Flood(fd, kAgrees + Text("junk junk\r\n\x01\x02")); }, "Protocol error"},
    {"endless sub-negotiation",
     [](FaultServer& server, int fd) {
         const Bytes start = {TelnetCodec::kIac, TelnetCodec::kSb, TelnetCodec::kComPortOption, 101};
         send(fd, start.data(), start.size(), MSG_NOSIGNAL);
         server.Flood(fd, Bytes(4096, 0x41));
     },
     "Protocol error"},
    {"accept and silence", [](FaultServer& server, int fd) { server.Listen(fd); }, "Connection timed out"},
    {"close after greeting",
     [](FaultServer&, int fd) {
         const Bytes words = kAgrees + Text("\x07\r\nBusy:\tport held by 10.0.0.7\x1b\r\nsecond line\r\n");
         send(fd, words.data(), words.size(), MSG_NOSIGNAL);
     },
     "Busy:port held by 10.0.0.7"},
};

class HostileServerTest : public ::testing::Test {
protected:
    void Map(const std::string& address) {
        dir.MapPort(1, address);
        master.SetPortIndex(0);
        master.SelectStation(1);
        master.linkEnabled = true;
    }

    test::ScopedWorkDir dir;
    test::CapturingSerialUi ui;
    ModbusRtuMaster master;
};

TEST_F(HostileServerTest, OpeningEndsWithinItsBoundsWhateverTheServerSends) {
    for (const OpenCase& row : kOpenCases) {
        SCOPED_TRACE(row.name);
        FaultServer* self = nullptr;
        FaultServer server([&self, &row](int fd) { row.behaviour(*self, fd); });
        self = &server;
        Map(server.Address("rfc2217://"));
        ui.messages.clear();
        const long before = ResidentKb();
        const auto start = Clock::now();
        EXPECT_FALSE(master.Open());
        EXPECT_LT(Clock::now() - start, kTimeBound);
        EXPECT_LT(ResidentKb() - before, kMemoryBoundKb);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0], std::string(row.error) + "\n Serial Port -> COM1");
        master.Close();
    }
}

Bytes ReadReply(std::uint8_t high, std::uint8_t low) {
    Bytes reply = {0x01, 0x03, 0x02, high, low};
    const std::uint16_t crc = Crc16(reply.data(), 5);
    reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    return reply;
}

TEST_F(HostileServerTest, FloodDuringATransactionHoldsNoTransactionLong) {
    // The first request is answered, then the server floods without end.
    FaultServer* self = nullptr;
    FaultServer server([&self](int fd) {
        std::uint8_t request[8];
        if (recv(fd, request, sizeof request, MSG_WAITALL) != 8) return;
        const Bytes reply = ReadReply(0x5A, 0xC3);
        send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        self->Flood(fd, Text("\xee\x11 flood"));
    });
    self = &server;
    Map(server.Address("tcp://"));
    ASSERT_TRUE(master.Open());
    std::uint8_t data[2] = {};
    ASSERT_EQ(master.ReadRegisters(0x0030, 1, data), 1);
    EXPECT_EQ(data[0], 0x5A);
    const long before = ResidentKb();
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(master.ReadRegisters(0x0030, 1, data), 0);
        EXPECT_LT(Clock::now() - start, kTimeBound);
    }
    EXPECT_LT(ResidentKb() - before, kMemoryBoundKb);
    // Flood bytes are bad replies, never time-outs; none reached the buffer.
    EXPECT_EQ(master.Counters(), (LinkCounters{10, 9, 9, 0, 0, 0}));
    EXPECT_EQ(data[0], 0x5A);
}

// A slow opener seen on the replaceable clock: each attempt to open moves it by the time it took.
TEST_F(HostileServerTest, ReopenAgainstASilentServerIsOneAttemptPerTransaction) {
    std::atomic<bool> silent{false};
    FaultServer* self = nullptr;
    FaultServer server([&](int fd) {
        if (!silent) return;  // the first connection is dropped at once: the port is lost
        self->Listen(fd);
    });
    self = &server;
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
    EXPECT_EQ(master.ReadRegisters(0x0030, 1, data), 0);  // the connection closes: lost
    // From now on the server takes connections and never answers: a Telnet open waits its 2 s.
    silent = true;
    dir.MapPort(1, server.Address("rfc2217://"));
    const int before = server.Accepted();
    clock.AdvanceMs(1000);
    EXPECT_EQ(master.ReadRegisters(0x0030, 1, data), 0);
    EXPECT_EQ(server.Accepted(), before + 1);  // one attempt, though it outlasted the second
    clock.AdvanceMs(999);
    EXPECT_EQ(master.ReadRegisters(0x0030, 1, data), 0);
    EXPECT_EQ(server.Accepted(), before + 1);  // a second counted from the end of the attempt
    SetSerialDeviceOpener(nullptr);
}

// The real device with its read time-out cut to a few milliseconds, so that many exchanges fit in
// little time.
class ShortTimeouts final : public SerialDevice {
public:
    ShortTimeouts(std::unique_ptr<SerialDevice> inner, std::uint32_t readMs)
        : inner(std::move(inner)), readMs(readMs) {}
    bool Configure(const PortSettings& settings, const SerialTimeouts& timeouts) override {
        SerialTimeouts shorter = timeouts;
        shorter.readPerByteMs = 0;
        shorter.readConstantMs = readMs;
        return inner->Configure(settings, shorter);
    }
    void Purge() override { inner->Purge(); }
    void DiscardLateReply(std::size_t count) override { inner->DiscardLateReply(count); }
    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        return inner->Write(data, count, written);
    }
    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        return inner->Read(buffer, count, received);
    }
    bool Vanished() const override { return inner->Vanished(); }

private:
    std::unique_ptr<SerialDevice> inner;
    std::uint32_t readMs;
};

// A station that answers each read after a round trip of 0.9 to 1.5 times the read time-out, timed
// from the moment the request reached its socket (the kernel's time stamp), so that a busy machine
// can only drop a reply, never send one later than that.
void AnswerLate(const FaultServer& server, int fd, int timeoutUs) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    std::mt19937 random(18);
    std::uniform_int_distribution<int> roundTrip(timeoutUs * 9 / 10, timeoutUs * 3 / 2);
    Bytes pending;
    timespec arrival{};
    while (server.Running()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        std::uint8_t buffer[256];
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        iovec io{buffer, sizeof buffer};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(fd, &message, 0);
        if (n <= 0) return;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS)
                std::memcpy(&arrival, CMSG_DATA(c), sizeof arrival);
        }
        pending.insert(pending.end(), buffer, buffer + n);
        while (pending.size() >= 8) {
            // Every bit differs between the two blocks' data.
            const Bytes reply = pending[2] == 0x00 ? ReadReply(0xA5, 0x0F) : ReadReply(0x5A, 0xF0);
            pending.erase(pending.begin(), pending.begin() + 8);
            const auto sent =
                std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
                    std::chrono::seconds(arrival.tv_sec) + std::chrono::nanoseconds(arrival.tv_nsec)));
            const auto latest = sent + std::chrono::microseconds(timeoutUs * 3 / 2);
            std::this_thread::sleep_until(sent + std::chrono::microseconds(roundTrip(random)));
            if (std::chrono::system_clock::now() < latest) send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
    }
}

TEST_F(HostileServerTest, LateRepliesAreNeverTakenForTheNextRequest) {
    static constexpr std::uint32_t kReadMs = 2;
    FaultServer* self = nullptr;
    FaultServer server([&self](int fd) { AnswerLate(*self, fd, kReadMs * 1000); });
    self = &server;
    test::ManualClock clock;  // the gap between transactions is not waited in real time
    SetSerialDeviceOpener([](const std::string& name, std::string* error) -> std::unique_ptr<SerialDevice> {
        auto device = OpenPlatformSerialDevice(name, error);
        if (!device) return device;
        return std::make_unique<ShortTimeouts>(std::move(device), kReadMs);
    });
    Map(server.Address("tcp://"));
    ASSERT_TRUE(master.Open());
    int right = 0;
    int wrong = 0;
    for (int i = 0; i < 1000; ++i) {
        const bool first = i % 2 == 0;
        std::uint8_t data[2] = {};
        if (master.ReadRegisters(first ? 0x0030 : 0x6000, 1, data) == 0) continue;
        const bool ours = first ? data[0] == 0xA5 && data[1] == 0x0F : data[0] == 0x5A && data[1] == 0xF0;
        ++(ours ? right : wrong);
    }
    RecordProperty("accepted", right);
    EXPECT_EQ(wrong, 0) << right << " right";
    EXPECT_GT(master.Counters().timeouts, 0);  // replies did come late
    SetSerialDeviceOpener(nullptr);
}

}  // namespace
}  // namespace vexlo
