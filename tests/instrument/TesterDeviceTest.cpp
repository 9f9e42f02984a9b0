#include <gtest/gtest.h>

#include "instrument/ProgramBlocks.h"
#include "tests/support/SimulatedDeviceFixture.h"

namespace vexlo {
namespace {

using test::FromHex;
using test::ToHex;
using test::WithCrc;

class TesterDeviceTest : public test::SimulatedDeviceFixture {};

TEST_F(TesterDeviceTest, EachOperationSendsItsFrameInBothMaps) {
    sim::InstrumentConfig config;
    config.initialFifoResults = 2;
    StartSimulator({}, config);
    StatusRecord status;
    for (AccessMode mode : {0, 2}) {
        device.accessMode = mode;
        EXPECT_EQ(device.AccessModeName(), "Standard Access");
        ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
        EXPECT_EQ(LastRequestHex(), "01 03 00 30 00 0d 84 00");
    }
    EXPECT_TRUE(status.EndOfCycle());
    EXPECT_EQ(status.FifoCount(), 2);
    device.accessMode = kDirectAccess;
    EXPECT_EQ(device.AccessModeName(), "Direct Access");
    ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
    EXPECT_EQ(LastRequestHex(), "01 03 22 01 00 0d df b7");

    std::uint8_t result[72] = {};
    for (AccessMode mode : {kStandardAccess, kDirectAccess}) {
        device.accessMode = mode;
        ASSERT_EQ(device.ReadFifoResult(36, result), kDeviceOk);
        EXPECT_EQ(LastRequestHex().substr(0, 17), "01 03 00 10 00 24");
    }
    device.accessMode = kStandardAccess;
    device.ReadLastResult(36, result);
    EXPECT_EQ(LastRequestHex().substr(0, 17), "01 03 00 11 00 24");
    EXPECT_TRUE(device.exceptionReply);  // no cycle has run yet
    device.accessMode = kDirectAccess;
    device.ReadLastResult(36, result);
    EXPECT_EQ(LastRequestHex().substr(0, 17), "01 03 23 01 00 24");

    EXPECT_EQ(device.ClearFifo(), kDeviceOk);
    EXPECT_EQ(LastRequestHex(), "01 05 00 02 ff 00 2d fa");
    EXPECT_EQ(device.StartCycle(), kDeviceOk);
    EXPECT_EQ(LastRequestHex(), "01 05 00 01 ff 00 dd fa");
    EXPECT_EQ(device.ResetCycle(), kDeviceOk);
    EXPECT_EQ(LastRequestHex(), "01 05 00 00 ff 00 8c 3a");
}

TEST_F(TesterDeviceTest, BlockPartsAndTheirAddresses) {
    StartSimulator();
    std::uint8_t block[512] = {};
    ASSERT_EQ(device.ReadBlockHead(0, 300, block), kDeviceOk);
    EXPECT_EQ(LastRequestHex().substr(0, 17), "01 03 80 00 00 7b");
    ASSERT_EQ(device.ReadBlockTail(0, 300, block + 246), kDeviceOk);
    EXPECT_EQ(LastRequestHex().substr(0, 17), "01 03 84 00 00 1b");
    ASSERT_EQ(device.WriteBlockHead(5, 200, block), kDeviceOk);
    EXPECT_EQ(LastRequestHex().substr(0, 20), "01 10 80 05 00 64 c8");
    const int requests = device.Counters().requests;
    EXPECT_EQ(device.WriteBlockTail(5, 200, block), kDeviceFailed);
    EXPECT_EQ(device.Counters().requests, requests);  // nothing sent
    std::uint16_t size = 0;
    ASSERT_EQ(device.ReadBlockSize(size), kDeviceOk);
    EXPECT_EQ(size, 300);
}

class BlockCopyTest : public TesterDeviceTest, public ::testing::WithParamInterface<int> {};

TEST_P(BlockCopyTest, CopiesProgramOneOntoSix) {
    const int length = GetParam();
    sim::InstrumentConfig config;
    config.blockSizeBytes = static_cast<std::uint16_t>(length);
    StartSimulator({}, config);
    ASSERT_EQ(CopyProgramRecord(device), CopyOutcome::Copied);
    const int head = std::min(length, 246) / 2;
    const int tail = length > 246 ? (length - 246) / 2 : 0;
    EXPECT_EQ(device.Counters().requests, tail > 0 ? 5 : 3);
    sim::Registers source, target;
    auto& model = simulator->Model();
    model.ReadRegisters(0x8000, static_cast<std::uint16_t>(head), source, 0);
    model.ReadRegisters(0x8005, static_cast<std::uint16_t>(head), target, 0);
    EXPECT_EQ(source, target);
    if (tail > 0) {
        model.ReadRegisters(0x8400, static_cast<std::uint16_t>(tail), source, 0);
        model.ReadRegisters(0x8405, static_cast<std::uint16_t>(tail), target, 0);
        EXPECT_EQ(source, target);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, BlockCopyTest, ::testing::Values(100, 400, 301));

TEST_F(TesterDeviceTest, CurveInfoWritesOnlyOnSuccess) {
    StartSimulator({}, {}, {{sim::FaultKind::NoReply, 1.0, 0x0435}});
    ShortenReplyTimeout();
    std::uint8_t record[52];
    std::memset(record, 0xEE, sizeof record);
    ASSERT_EQ(device.ReadCurveInfo(1, record), kDeviceOk);
    EXPECT_EQ(LoadLe16(record), 10);
    std::memset(record, 0xEE, sizeof record);
    EXPECT_EQ(device.ReadCurveInfo(2, record), kDeviceFailed);
    EXPECT_EQ(record[0], 0xEE);
    EXPECT_EQ(record[51], 0xEE);
}

TEST_F(TesterDeviceTest, FindStationAt63) {
    StartSimulator({63, false});
    ShortenReplyTimeout();
    int station = 0;
    EXPECT_EQ(device.FindStation(station), kDeviceOk);
    EXPECT_EQ(station, 63);
    EXPECT_EQ(device.Station(), 63);
    // Three tries at 255 first, then one at 63.
    EXPECT_EQ(device.Counters().requests, 4);
    EXPECT_EQ(device.Counters().timeouts, 3);
    EXPECT_EQ(LastRequestHex(), ToHex(WithCrc(FromHex("3f 03 30 00 00 0a"))));
}

TEST_F(TesterDeviceTest, FindStationWithNoneAnswering) {
    StartSimulator({1, false});
    ShortenReplyTimeout();
    int station = 0;
    EXPECT_EQ(device.FindStation(station), kDeviceFailed);
    EXPECT_EQ(station, 223);
    EXPECT_EQ(device.Station(), 223);
    EXPECT_EQ(device.Counters().requests, 21);
}

}  // namespace
}  // namespace vexlo
