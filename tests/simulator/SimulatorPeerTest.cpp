// Independent peers: mbpoll and libmodbus as masters of the simulated instrument, libmodbus as the
// slave of our master, and socat and ser2net as serial device servers in front of the instrument.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <tuple>

#include "instrument/TesterDevice.h"
#include "modbus/ModbusRtuMaster.h"
#include "serial/PortTable.h"
#include "simulator/harness/PtyResponder.h"
#include "simulator/harness/SimulatorThread.h"
#include "tests/support/CapturingSerialUi.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Hex.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::RunCommand;

// Runs mbpoll; it must succeed and show each text.
void Mbpoll(const std::string& arguments, std::initializer_list<std::string> shown) {
    int status = -1;
    const std::string output =
        RunCommand(std::string(MBPOLL_PROGRAM) + " -m rtu -b 9600 -P even -0 -1 -o 1 " + arguments + " 2>&1", &status);
    EXPECT_EQ(status, 0) << output;
    for (const auto& text : shown) EXPECT_NE(output.find(text), std::string::npos) << text << " in " << output;
}

TEST(SimulatorPeerTest, MbpollReadsTheStatusAndWritesCoils) {
    test::ScopedWorkDir dir;
    const std::string link = dir.File("instrument");
    test::ChildProcess simulator(test::SimulatorCommand({"--station", "7", "--link", link}),
                                 test::ChildProcess::Stream::Output);
    ASSERT_FALSE(simulator.FirstLine().empty());
    ASSERT_TRUE(std::filesystem::is_symlink(link));

    // Registers hold little-endian values: mbpoll shows them byte-swapped (program 1, end of cycle).
    Mbpoll("-a 7 -t 4:hex -r 48 -c 13 " + link, {"[48]: \t0x0100", "[51]: \t0x2000"});
    Mbpoll("-a 7 -t 0 -r 1 " + link + " 1", {"Written 1 references"});  // start
    Mbpoll("-a 7 -t 4:hex -r 51 -c 1 " + link, {"[51]: \t0x0000"});     // running (for seconds)

    EXPECT_EQ(simulator.Stop(), 0);  // clean exit on SIGTERM
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// The instrument's values are little-endian inside the register: swap what libmodbus decoded.
std::uint16_t Le(std::uint16_t value) { return static_cast<std::uint16_t>(value >> 8 | value << 8); }
std::int32_t Le32(const std::vector<std::uint16_t>& v, size_t at) {
    return static_cast<std::int32_t>(Le(v[at]) | static_cast<std::uint32_t>(Le(v[at + 1])) << 16);
}

TEST(SimulatorPeerTest, LibmodbusReadsEveryBlock) {
    sim::InstrumentConfig config;
    config.initialFifoResults = 2;
    test::SimulatorThread simulator({1, false}, config);
    const std::unique_ptr<modbus_t, void (*)(modbus_t*)> master(
        modbus_new_rtu(simulator.PortPath().c_str(), 9600, 'E', 8, 1), [](modbus_t* context) {
            modbus_close(context);
            modbus_free(context);
        });
    modbus_set_slave(master.get(), 1);
    ASSERT_EQ(modbus_connect(master.get()), 0);
    modbus_set_response_timeout(master.get(), 0, 500000);
    // Every read returns all it asked for.
    const auto read = [&master](int address, int count) {
        std::vector<std::uint16_t> values(static_cast<size_t>(count));
        EXPECT_EQ(modbus_read_registers(master.get(), address, count, values.data()), count) << std::hex << address;
        return values;
    };

    const auto status = read(0x0030, 13);
    EXPECT_EQ(Le(status[1]), 2);
    EXPECT_EQ(status, read(0x2201, 13));
    const auto fifo = read(0x0010, 36);
    EXPECT_EQ(std::tuple(Le32(fifo, 4), Le32(fifo, 6)), std::tuple(500000, 14000));
    const std::pair<int, int> blocks[] = {{0x0434, 26}, {0x0435, 26}, {0x2700, 40}, {0x0801, 1}, {0x8000, 123},
                                          {0x8400, 27}, {0x0110, 6},  {0x3000, 10}, {0x2001, 2}, {0x6000, 125}};
    for (const auto& [address, count] : blocks) read(address, count);
    // The curve's coefficient is a float over two registers, little-endian like the rest.
    EXPECT_FLOAT_EQ(std::bit_cast<float>(Le32(read(0x0434, 26), 7)), 1.5f);

    // Writes of the console's shapes.
    const std::uint16_t select[1] = {Le(1)};
    EXPECT_EQ(modbus_write_registers(master.get(), 0x0200, 1, select), 1);
    EXPECT_EQ(Le(read(0x0030, 1)[0]), 2);
    EXPECT_EQ(modbus_write_bit(master.get(), 2, 1), 1);
    EXPECT_EQ(Le(read(0x0030, 2)[1]), 0);
}

// libmodbus as the slave, serving its mapping from its own thread while alive.
struct LibmodbusSlave {
    explicit LibmodbusSlave(const std::string& path) : context(modbus_new_rtu(path.c_str(), 9600, 'E', 8, 1)) {
        modbus_set_slave(context, 17);
        for (int i = 0; i < 64; ++i) {
            mapping->tab_registers[i] = static_cast<std::uint16_t>(0x1000 + i);
            mapping->tab_input_registers[i] = static_cast<std::uint16_t>(0x2000 + i);
        }
        connected = modbus_connect(context) == 0;
        modbus_set_indication_timeout(context, 0, 50000);
        worker = std::thread([this] {
            std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            while (!stopping) {
                const int length = modbus_receive(context, query);
                if (length > 0) modbus_reply(context, query, length, mapping);
            }
        });
    }
    ~LibmodbusSlave() {
        stopping = true;
        worker.join();
        modbus_close(context);
        modbus_mapping_free(mapping);
        modbus_free(context);
    }

    modbus_t* context;
    modbus_mapping_t* mapping = modbus_mapping_new(8, 0, 64, 64);
    bool connected = false;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

TEST(LibmodbusPeerTest, MasterTalksToAnIndependentSlave) {
    test::ScopedWorkDir dir;
    test::PtyResponder cable(test::PtyResponder::Mode::Cable);
    LibmodbusSlave slave(cable.FarPath());
    ASSERT_TRUE(slave.connected);
    dir.MapPort(1, cable.DevicePath());

    ModbusRtuMaster master;
    master.SelectStation(17);
    master.linkEnabled = true;
    ASSERT_TRUE(master.Open());

    // Register values travel as raw bytes: libmodbus sends them high byte first.
    std::uint8_t data[64] = {};
    ASSERT_EQ(master.ReadRegisters(3, 2, data), 1);
    EXPECT_EQ(test::ToHex(data, 4), "10 03 10 04");
    ASSERT_EQ(master.ReadInputRegisters(10, 1, data), 1);
    EXPECT_EQ(test::ToHex(data, 2), "20 0a");

    const std::uint8_t values[4] = {0xAB, 0xCD, 0x12, 0x34};
    ASSERT_EQ(master.WriteRegisters(20, 2, values), 1);
    EXPECT_EQ(std::tuple(slave.mapping->tab_registers[20], slave.mapping->tab_registers[21]),
              std::tuple(0xABCD, 0x1234));

    ASSERT_EQ(master.WriteCoil(5, 1), 1);
    EXPECT_EQ(slave.mapping->tab_bits[5], 1);
    ASSERT_EQ(master.WriteCoil(5, 0x10000), 1);
    EXPECT_EQ(slave.mapping->tab_bits[5], 0);

    // An address beyond the mapping is refused with an exception reply; too short to be a full read
    // reply, so the master counts time-outs (three tries, after three register transactions).
    EXPECT_EQ(master.ReadRegisters(100, 1, data), 0);
    EXPECT_EQ(master.Counters(), (LinkCounters{3 + 3, 3, 0, 3, 0, 0}));
}

// Instruments behind serial device servers: socat as a raw TCP server, ser2net speaking RFC 2217.
class NetworkPortTest : public ::testing::Test {
protected:
    std::unique_ptr<test::ChildProcess> StartRelay(int port) {
        auto relay = std::make_unique<test::ChildProcess>(std::vector<std::string>{
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
    test::ChildProcess server({SER2NET_PROGRAM, "-n", "-d", "-c", config});
    ASSERT_TRUE(test::WaitForListener(port, 5000));
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(port);
    ASSERT_TRUE(Open(device, 1, address));
    ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
    termios tio{};
    ASSERT_EQ(tcgetattr(watcher, &tio), 0);
    EXPECT_EQ(std::tuple(cfgetospeed(&tio), tio.c_cflag & (PARODD | CSTOPB)),
              (std::tuple<speed_t, tcflag_t>(B19200, PARODD | CSTOPB)));

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
