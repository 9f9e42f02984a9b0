#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "modbus/ModbusRtuMaster.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorThread.h"

namespace vexlo {
namespace {

// Random bytes, floods and half frames on the line must never stop the instrument answering.
TEST(SimulatorRobustnessTest, StaysResponsiveAfterGarbage) {
    test::ScopedWorkDir dir;
    test::SimulatorThread simulator;
    dir.MapPort(1, simulator.PortPath());
    ModbusRtuMaster master;
    master.SelectStation(1);
    master.linkEnabled = true;
    ASSERT_TRUE(master.Open());

    std::mt19937 random(1234);
    std::uint8_t status[26];
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> noise(1 + random() % (round % 4 == 0 ? 2000 : 40));
        for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
        if (round % 5 == 1) noise = {0x01, 0x03, 0x00};  // half a frame
        ASSERT_TRUE(master.WriteBytes(noise.data(), static_cast<int>(noise.size())));
        // The master's next request purges whatever the noise provoked, and follows after a pause
        // that ends the noise frame.
        usleep(5000);
        ASSERT_EQ(master.ReadRegisters(0x0030, 13, status), 1) << "round " << round;
        EXPECT_FALSE(master.exceptionReply);
    }
}

// Paced replies can never arrive faster than the line carries them (11 bits a character).
TEST(SimulatorRobustnessTest, RepliesLeaveAtTheLinesPace) {
    test::ScopedWorkDir dir;
    test::SimulatorThread simulator({1, false}, {}, {}, {9600, 30});
    dir.MapPort(1, simulator.PortPath());
    ModbusRtuMaster master;
    master.SelectStation(1);
    master.linkEnabled = true;
    ASSERT_TRUE(master.Open());
    std::uint8_t status[26];
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(master.ReadRegisters(0x0030, 13, status), 1);
    const double elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsedMs, 30.0 + 31 * 11 * 1000.0 / 9600 - 1.0);  // turnaround, then 31 bytes at 9600 baud
}

TEST(SimulatorRobustnessTest, InjectedFaultsShowInTheCounters) {
    test::ScopedWorkDir dir;
    test::SimulatorThread simulator({1, false}, {}, {{sim::FaultKind::BadCrc, 1.0, 0x0030}});
    dir.MapPort(1, simulator.PortPath());
    ModbusRtuMaster master;
    master.SelectStation(1);
    master.linkEnabled = true;
    ASSERT_TRUE(master.Open());
    std::uint8_t buffer[80];
    EXPECT_EQ(master.ReadRegisters(0x0030, 13, buffer), 0);
    EXPECT_EQ(master.Counters().crcErrors, 3);
    EXPECT_EQ(master.ReadRegisters(0x2201, 13, buffer), 1);
    // Beyond the usual 125 registers: the console's raw panel asks for up to 128.
    std::uint8_t wide[256];
    EXPECT_EQ(master.ReadRegisters(0x6000, 128, wide), 1);
    EXPECT_FALSE(master.exceptionReply);
}

}  // namespace
}  // namespace vexlo
