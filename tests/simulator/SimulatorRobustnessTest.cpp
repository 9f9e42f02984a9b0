#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "tests/support/SimulatedDeviceFixture.h"

namespace vexlo {
namespace {

class SimulatorRobustnessTest : public test::SimulatedDeviceFixture {};

// Random bytes, floods and half frames on the line must never stop the instrument answering.
TEST_F(SimulatorRobustnessTest, StaysResponsiveAfterGarbage) {
    StartSimulator();
    std::mt19937 random(1234);
    std::uint8_t status[26];
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> noise(1 + random() % (round % 4 == 0 ? 2000 : 40));
        for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
        if (round % 5 == 1) noise = {0x01, 0x03, 0x00};  // half a frame
        ASSERT_TRUE(device.WriteBytes(noise.data(), static_cast<int>(noise.size())));
        // The master's next request purges whatever the noise provoked, and follows after a pause
        // that ends the noise frame.
        usleep(5000);
        ASSERT_EQ(device.ReadRegisters(0x0030, 13, status), 1) << "round " << round;
        EXPECT_FALSE(device.exceptionReply);
    }
}

// Paced replies can never arrive faster than the line carries them (11 bits a character).
TEST_F(SimulatorRobustnessTest, RepliesLeaveAtTheLinesPace) {
    StartSimulator({}, {}, {}, {9600, 30});
    std::uint8_t status[26];
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(device.ReadRegisters(0x0030, 13, status), 1);
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsedMs, 30.0 + 31 * 11 * 1000.0 / 9600 - 1.0);  // turnaround, then 31 bytes at 9600 baud
}

}  // namespace
}  // namespace vexlo
