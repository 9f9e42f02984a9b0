#include <gtest/gtest.h>

#include "modbus/ModbusRtuMaster.h"
#include "tests/support/PtyResponder.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::FromHex;
using test::WithCrc;

LinkCounters Counts(int requests, int errors, int crc, int timeouts, int negative) {
    return LinkCounters{requests, errors, crc, timeouts, negative, 0};
}

// The master over a real pseudo-terminal against a scripted peer.
class MasterPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MapPort(1, peer.DevicePath());
        master.SelectStation(1);
        master.linkEnabled = true;
        ASSERT_TRUE(master.Open());
    }
    test::ScopedWorkDir dir;
    test::PtyResponder peer;
    ModbusRtuMaster master;
    std::uint8_t data[300] = {};
};

TEST_F(MasterPtyTest, ReadAndWriteRoundTrips) {
    peer.ScriptReply(WithCrc(FromHex("01 03 02 34 12")));
    EXPECT_EQ(master.ReadRegisters(0x2301, 1, data), 1);
    EXPECT_EQ(data[0], 0x34);
    peer.ScriptReply(WithCrc(FromHex("01 10 60 00 00 02")));
    const std::uint8_t value[4] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(master.WriteRegisters(0x6000, 2, value), 1);
    peer.ScriptReply(WithCrc(FromHex("01 05 00 01 ff 00")));
    EXPECT_EQ(master.WriteCoil(1, 1), 1);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], FromHex("01 03 23 01 00 01 de 4e"));
    EXPECT_EQ(requests[1], WithCrc(FromHex("01 10 60 00 00 02 04 78 56 34 12")));
    EXPECT_EQ(requests[2], FromHex("01 05 00 01 ff 00 dd fa"));
    EXPECT_EQ(master.Counters(), Counts(2, 0, 0, 0, 0));
}

TEST_F(MasterPtyTest, CorruptedRepliesAreRetriedThenFail) {
    for (int i = 0; i < 3; ++i) peer.ScriptReply(FromHex("01 03 02 34 12 00 00"));
    EXPECT_EQ(master.ReadRegisters(0x2301, 1, data), 0);
    EXPECT_EQ(peer.Requests().size(), 3u);
    EXPECT_EQ(master.Counters(), Counts(3, 3, 3, 0, 0));
}

TEST_F(MasterPtyTest, ExceptionAndForeignStationAndShortReply) {
    auto exception = WithCrc(FromHex("01 83 02"));
    exception.push_back(0);
    exception.push_back(0);
    peer.ScriptReply(exception);
    EXPECT_EQ(master.ReadRegisters(0x9999, 1, data), 1);
    EXPECT_TRUE(master.exceptionReply);

    peer.ScriptReply(WithCrc(FromHex("09 03 02 01 02")));
    EXPECT_EQ(master.ReadRegisters(0x2301, 1, data), 1);
    EXPECT_FALSE(master.exceptionReply);

    peer.ScriptReply(FromHex("01 03 02"));
    peer.ScriptReply(WithCrc(FromHex("01 03 02 01 02")));
    EXPECT_EQ(master.ReadRegisters(0x2301, 1, data), 1);
    EXPECT_EQ(master.Counters(), Counts(4, 1, 0, 1, 1));
}

}  // namespace
}  // namespace vexlo
