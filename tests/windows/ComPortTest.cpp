// The Win32 serial backend against the simulated instrument: COM1 is a pseudo-terminal of vexlo-sim
// that Wine's dosdevices map to the port (tools/test-windows.sh sets it up, with --fifo 2).
#include <gtest/gtest.h>

#include "common/ByteImage.h"
#include "instrument/TesterDevice.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.SelectStation(1);
        device.linkEnabled = true;
        ASSERT_TRUE(device.Open()) << "COM1 does not reach the simulated instrument";
    }
    void TearDown() override { device.Close(); }
    test::ScopedWorkDir dir;
    TesterDevice device;
};

// The frames themselves are pinned by the tests of the core: here, that they cross the Win32 port
// both ways, the largest reply included, in both register maps.
TEST_F(ComPortTest, FramesCrossThePortBothWays) {
    StatusRecord status;
    for (const AccessMode mode : {kStandardAccess, kDirectAccess}) {
        device.accessMode = mode;
        ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
        EXPECT_TRUE(status.EndOfCycle());
    }
    std::uint8_t result[72] = {};
    ASSERT_EQ(device.ReadFifoResult(36, result), kDeviceOk);
    EXPECT_EQ(LoadLe32(result + 8), 500000);  // pressure of a FIFO result, in thousandths
    const std::uint8_t word[2] = {0x34, 0x12};
    ASSERT_EQ(device.WriteRegisters(0x6000, 1, word), 1);
    std::uint8_t back[256] = {};
    ASSERT_EQ(device.ReadRegisters(0x6000, 128, back), 1);  // the largest read, 261 bytes of reply
    EXPECT_EQ(back[0], 0x34);
    EXPECT_EQ(back[1], 0x12);
    EXPECT_EQ(device.Counters().errors, 0);
}

TEST_F(ComPortTest, AnUnansweredStationCountsItsTimeOuts) {
    device.Close();
    device.replyTimeoutMs = 50;
    ASSERT_TRUE(device.Open());
    device.SelectStation(9);
    std::uint8_t data[2] = {};
    EXPECT_EQ(device.ReadRegisters(0x0030, 1, data), 0);
    const LinkCounters counters = device.Counters();
    EXPECT_EQ(std::tuple(counters.requests, counters.timeouts, counters.errors), std::tuple(3, 3, 3));
    device.SelectStation(1);
    EXPECT_EQ(device.ReadRegisters(0x0030, 1, data), 1);  // and the line is fine afterwards
}

}  // namespace
}  // namespace vexlo
