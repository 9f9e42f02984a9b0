// Independent peers: mbpoll and libmodbus as masters of the simulated instrument, and libmodbus as
// the slave of our master.
#include <gtest/gtest.h>
#include <modbus.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <filesystem>
#include <memory>
#include <thread>

#include "modbus/ModbusRtuMaster.h"
#include "simulator/harness/PtyResponder.h"
#include "simulator/harness/SimulatorThread.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Hex.h"
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
    EXPECT_EQ(Le32(fifo, 4), 500000);
    EXPECT_EQ(Le32(fifo, 6), 14000);
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
    EXPECT_EQ(slave.mapping->tab_registers[20], 0xABCD);
    EXPECT_EQ(slave.mapping->tab_registers[21], 0x1234);

    ASSERT_EQ(master.WriteCoil(5, 1), 1);
    EXPECT_EQ(slave.mapping->tab_bits[5], 1);
    ASSERT_EQ(master.WriteCoil(5, 0x10000), 1);
    EXPECT_EQ(slave.mapping->tab_bits[5], 0);

    // An address beyond the mapping is refused with an exception reply; too short to be a full read
    // reply, so the master counts time-outs (three tries, after three register transactions).
    EXPECT_EQ(master.ReadRegisters(100, 1, data), 0);
    EXPECT_EQ(master.Counters(), (LinkCounters{3 + 3, 3, 0, 3, 0, 0}));
}

}  // namespace
}  // namespace vexlo
