#include <gtest/gtest.h>

#include <functional>

#include "instrument/ProgramBlocks.h"
#include "tests/support/SimulatedDeviceFixture.h"

namespace vexlo {
namespace {

class TesterDeviceTest : public test::SimulatedDeviceFixture {};

// Each operation's request in each register map: every frame pinned here, once.
TEST_F(TesterDeviceTest, EachOperationSendsItsFrame) {
    StartSimulator();
    StatusRecord status;
    std::uint8_t data[512] = {};
    const auto readStatus = [&] { return device.ReadStatus(status); };
    const auto readFifo = [&] { return device.ReadFifoResult(36, data); };
    const auto readLast = [&] { return device.ReadLastResult(36, data); };
    const struct {
        AccessMode mode;
        std::function<DeviceStatus()> operation;
        std::string request;  // the whole frame, or its head before the data
    } rows[] = {
        {kStandardAccess, readStatus, "01 03 00 30 00 0d 84 00"},
        {2, readStatus, "01 03 00 30 00 0d 84 00"},  // any mode but direct takes the lists
        {kDirectAccess, readStatus, "01 03 22 01 00 0d df b7"},
        {kStandardAccess, readFifo, "01 03 00 10 00 24 44 14"},
        {kDirectAccess, readFifo, "01 03 00 10 00 24 44 14"},
        {kStandardAccess, readLast, "01 03 00 11 00 24 15 d4"},
        {kDirectAccess, readLast, "01 03 23 01 00 24 1f 95"},
        {kDirectAccess, [&] { return device.ClearFifo(); }, "01 05 00 02 ff 00 2d fa"},
        {kDirectAccess, [&] { return device.StartCycle(); }, "01 05 00 01 ff 00 dd fa"},
        {kDirectAccess, [&] { return device.ResetCycle(); }, "01 05 00 00 ff 00 8c 3a"},
        {kStandardAccess, [&] { return device.ReadBlockHead(0, 300, data); }, "01 03 80 00 00 7b"},
        {kStandardAccess, [&] { return device.ReadBlockTail(0, 300, data + 246); }, "01 03 84 00 00 1b"},
        {kStandardAccess, [&] { return device.WriteBlockHead(5, 200, data); }, "01 10 80 05 00 64 c8"},
    };
    for (const auto& row : rows) {
        device.accessMode = row.mode;
        row.operation();
        EXPECT_EQ(LastRequestHex().substr(0, row.request.size()), row.request);
    }
    const int requests = device.Counters().requests;
    EXPECT_EQ(device.WriteBlockTail(5, 200, data), kDeviceFailed);  // no tail under 246 bytes
    EXPECT_EQ(device.Counters().requests, requests);                // nothing sent
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
    simulator->Locked()->ReadRegisters(0x8000, static_cast<std::uint16_t>(head), source, 0);
    simulator->Locked()->ReadRegisters(0x8005, static_cast<std::uint16_t>(head), target, 0);
    EXPECT_EQ(source, target);
    if (tail > 0) {
        simulator->Locked()->ReadRegisters(0x8400, static_cast<std::uint16_t>(tail), source, 0);
        simulator->Locked()->ReadRegisters(0x8405, static_cast<std::uint16_t>(tail), target, 0);
        EXPECT_EQ(source, target);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, BlockCopyTest, ::testing::Values(100, 400, 301));

class StationSearchTest : public TesterDeviceTest, public ::testing::WithParamInterface<AccessMode> {};

// The search asks 255, then 63 and every 32nd station up to 223, three attempts each; the register map
// plays no part. Each row: the instrument's station, the outcome, the station last asked, the requests.
TEST_P(StationSearchTest, FindsTheStationOrStopsAtTheEnd) {
    const std::tuple<std::uint8_t, DeviceStatus, int, int> rows[] = {{63, kDeviceOk, 63, 4},
                                                                     {1, kDeviceFailed, 223, 21}};
    for (const auto& [instrument, outcome, found, requests] : rows) {
        StartSimulator({instrument, false});
        device.accessMode = GetParam();
        ShortenReplyTimeout();
        device.ResetCounters();
        int station = 0;
        EXPECT_EQ(device.FindStation(station), outcome);
        EXPECT_EQ(station, found);
        EXPECT_EQ(device.Station(), found);
        EXPECT_EQ(device.Counters().requests, requests);
        if (outcome == kDeviceOk) {
            EXPECT_EQ(LastRequestHex(), "3f 03 30 00 00 0a ce 13");
        }
        device.Close();
    }
}

INSTANTIATE_TEST_SUITE_P(AccessModes, StationSearchTest, ::testing::Values(kStandardAccess, kDirectAccess));

}  // namespace
}  // namespace vexlo
