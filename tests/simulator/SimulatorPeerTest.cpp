// Independent masters against the simulated instrument: mbpoll as a separate program, libmodbus in
// process.
#include <gtest/gtest.h>
#include <modbus.h>
#include <unistd.h>

#include <bit>
#include <filesystem>
#include <memory>

#include "simulator/harness/SimulatorThread.h"
#include "tests/support/ChildProcess.h"
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

}  // namespace
}  // namespace vexlo
