#include <gtest/gtest.h>

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
        // The noise ends like a transaction: the master keeps its silent gap before the next request,
        // which purges whatever the noise provoked.
        ModbusRtuMaster::GapTimer().Arm(ModbusRtuMaster::kGapMs);
        ASSERT_EQ(device.ReadRegisters(0x0030, 13, status), 1) << "round " << round;
        EXPECT_FALSE(device.exceptionReply);
    }
}

}  // namespace
}  // namespace vexlo
