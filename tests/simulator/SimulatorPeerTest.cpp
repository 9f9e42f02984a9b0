// Independent masters against the simulated instrument: mbpoll as a separate program, libmodbus in
// process.
#include <gtest/gtest.h>
#include <modbus.h>
#include <unistd.h>

#include <bit>
#include <filesystem>

#include "simulator/harness/SimulatorThread.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::RunCommand;

std::string Mbpoll(const std::string& port, const std::string& arguments, const std::string& values = "") {
    int status = -1;
    const std::string output = RunCommand(std::string(MBPOLL_PROGRAM) + " -m rtu -b 9600 -P even -0 -1 -o 1 " +
                                              arguments + " " + port + " " + values + " 2>&1",
                                          &status);
    EXPECT_EQ(status, 0) << output;
    return output;
}

TEST(SimulatorPeerTest, MbpollReadsTheStatusAndWritesCoils) {
    test::ScopedWorkDir dir;
    const std::string link = dir.File("instrument");
    test::ChildProcess simulator(test::SimulatorCommand({"--station", "7", "--link", link}),
                                 test::ChildProcess::Stream::Output);
    ASSERT_FALSE(simulator.FirstLine().empty());
    ASSERT_TRUE(std::filesystem::is_symlink(link));

    // Registers hold little-endian values: mbpoll shows them byte-swapped.
    std::string output = Mbpoll(link, "-a 7 -t 4:hex -r 48 -c 13");
    EXPECT_NE(output.find("[48]: \t0x0100"), std::string::npos) << output;  // program 1
    EXPECT_NE(output.find("[51]: \t0x2000"), std::string::npos) << output;  // end of cycle

    output = Mbpoll(link, "-a 7 -t 0 -r 1", "1");  // start
    EXPECT_NE(output.find("Written 1 references"), std::string::npos) << output;
    output = Mbpoll(link, "-a 7 -t 4:hex -r 51 -c 1");
    EXPECT_NE(output.find("[51]: \t0x0000"), std::string::npos) << output;  // running (for seconds)

    EXPECT_EQ(simulator.Stop(), 0);  // clean exit on SIGTERM
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// The instrument's values are little-endian inside the register: swap what libmodbus decoded.
std::uint16_t Le(std::uint16_t value) { return static_cast<std::uint16_t>(value >> 8 | value << 8); }
std::int32_t Le32(const std::vector<std::uint16_t>& v, size_t at) {
    return static_cast<std::int32_t>(Le(v[at]) | static_cast<std::uint32_t>(Le(v[at + 1])) << 16);
}

struct LibmodbusMaster {
    explicit LibmodbusMaster(const std::string& port) : context(modbus_new_rtu(port.c_str(), 9600, 'E', 8, 1)) {
        modbus_set_slave(context, 1);
        connected = modbus_connect(context) == 0;
        modbus_set_response_timeout(context, 0, 500000);
    }
    ~LibmodbusMaster() {
        modbus_close(context);
        modbus_free(context);
    }
    std::vector<std::uint16_t> Read(int address, int count) {
        std::vector<std::uint16_t> values(static_cast<size_t>(count));
        lastResult = modbus_read_registers(context, address, count, values.data());
        return values;
    }
    modbus_t* context;
    bool connected = false;
    int lastResult = 0;
};

TEST(SimulatorPeerTest, LibmodbusReadsEveryBlock) {
    sim::InstrumentConfig config;
    config.initialFifoResults = 2;
    test::SimulatorThread simulator({1, false}, config);
    LibmodbusMaster master(simulator.PortPath());
    ASSERT_TRUE(master.connected);

    auto status = master.Read(0x0030, 13);
    ASSERT_EQ(master.lastResult, 13);
    EXPECT_EQ(Le(status[1]), 2);
    EXPECT_EQ(status, master.Read(0x2201, 13));

    const auto fifo = master.Read(0x0010, 36);
    ASSERT_EQ(master.lastResult, 36);
    EXPECT_EQ(Le32(fifo, 4), 500000);
    EXPECT_EQ(Le32(fifo, 6), 14000);

    const std::pair<int, int> blocks[] = {{0x0434, 26}, {0x0435, 26}, {0x2700, 40}, {0x0801, 1}, {0x8000, 123},
                                          {0x8400, 27}, {0x0110, 6},  {0x3000, 10}, {0x2001, 2}, {0x6000, 125}};
    for (const auto& [address, count] : blocks) {
        master.Read(address, count);
        EXPECT_EQ(master.lastResult, count) << std::hex << address;
    }
    // The curve's coefficient is a float over two registers, little-endian like the rest.
    EXPECT_FLOAT_EQ(std::bit_cast<float>(Le32(master.Read(0x0434, 26), 7)), 1.5f);

    // Writes of the console's shapes.
    const std::uint16_t select[1] = {Le(1)};
    EXPECT_EQ(modbus_write_registers(master.context, 0x0200, 1, select), 1);
    EXPECT_EQ(Le(master.Read(0x0030, 1)[0]), 2);
    EXPECT_EQ(modbus_write_bit(master.context, 2, 1), 1);
    EXPECT_EQ(Le(master.Read(0x0030, 2)[1]), 0);
}

}  // namespace
}  // namespace vexlo
