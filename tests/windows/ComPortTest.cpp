// The Win32 serial backend against the simulated instrument: COM1 is a pseudo-terminal of vexlo-sim
// that Wine's dosdevices map to the port (tools/test-windows.sh sets it up, with --fifo 2).
#include <gtest/gtest.h>

#include "instrument/IdentifierAccess.h"
#include "instrument/ParameterAccess.h"
#include "instrument/TimeParameters.h"
#include "tests/support/Hex.h"
#include "tests/support/RecordingReport.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::FromHex;
using test::ToHex;
using test::WithCrc;
using Lines = std::vector<std::string>;

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.SelectStation(1);
        device.linkEnabled = true;
        ASSERT_TRUE(device.Open()) << "COM1 does not reach the simulated instrument";
    }
    void TearDown() override { device.Close(); }
    std::string LastRequestHex() const {
        int length = 0;
        const auto* bytes = device.LastRequest(&length);
        return ToHex(bytes, static_cast<size_t>(length));
    }

    test::ScopedWorkDir dir;
    TesterDevice device;
    test::RecordingReport report{device};
};

TEST_F(ComPortTest, EachOperationInBothMaps) {
    StatusRecord status;
    device.accessMode = kStandardAccess;
    ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
    EXPECT_EQ(LastRequestHex(), "01 03 00 30 00 0d 84 00");
    EXPECT_TRUE(status.EndOfCycle());
    device.accessMode = kDirectAccess;
    ASSERT_EQ(device.ReadStatus(status), kDeviceOk);
    EXPECT_EQ(LastRequestHex(), "01 03 22 01 00 0d df b7");
    std::uint8_t result[72] = {};
    ASSERT_EQ(device.ReadFifoResult(36, result), kDeviceOk);
    EXPECT_FALSE(device.exceptionReply);
    EXPECT_EQ(LoadLe32(result + 8), 500000);  // pressure of a FIFO result, in thousandths
    EXPECT_EQ(device.StartCycle(), kDeviceOk);
    EXPECT_EQ(device.ResetCycle(), kDeviceOk);
    EXPECT_EQ(device.Counters().requests, 3);
    EXPECT_EQ(device.Counters().errors, 0);
}

TEST_F(ComPortTest, RegistersRoundTripWithTheirByteOrder) {
    const std::uint8_t word[2] = {0x34, 0x12};
    ASSERT_EQ(device.WriteRegisters(0x6000, 1, word), 1);
    EXPECT_EQ(LastRequestHex(), ToHex(WithCrc(FromHex("01 10 60 00 00 01 02 34 12"))));
    std::uint8_t back[256] = {};
    ASSERT_EQ(device.ReadRegisters(0x6000, 128, back), 1);  // the largest read, 261 bytes of reply
    EXPECT_EQ(back[0], 0x34);
    EXPECT_EQ(back[1], 0x12);
    ASSERT_EQ(device.ReadInputRegisters(0x6000, 1, back), 1);
    EXPECT_EQ(LastRequestHex().substr(0, 17), "01 04 60 00 00 01");
}

TEST_F(ComPortTest, ParametersInBothAccessModes) {
    const Lines programOne = {
        "FILL TIME: 1.0",     "STAB TIME: 1.0",    "TEST TIME: 2.0", "", "DUMP TIME: 0.5", "WAIT TIME: 0.0", "",
        "REJECT TEST: 5.000", "REJECT REF: 5.000", "REJECT UNIT: Pa"};
    device.accessMode = kDirectAccess;
    ReadTimeParameters(device, report, ParseProgramNumber("1"));
    EXPECT_EQ(report.results, programOne);
    device.accessMode = kStandardAccess;
    report.results.clear();
    ReadTimeParameters(device, report, ParseProgramNumber("1"));
    Lines listed = programOne;
    listed.push_back("");
    EXPECT_EQ(report.results, listed);
    EXPECT_FALSE(WriteIdentifier(device, report, "4", "20", "-1.5").message);
    EXPECT_EQ(ReadIdentifier(device, report, "4", "20").valueText, "-1.500");
}

TEST_F(ComPortTest, AnUnansweredStationCountsItsTimeOuts) {
    device.Close();
    device.replyTimeoutMs = 50;
    ASSERT_TRUE(device.Open());
    device.SelectStation(9);
    std::uint8_t data[2] = {};
    EXPECT_EQ(device.ReadRegisters(0x0030, 1, data), 0);
    EXPECT_EQ(device.Counters().requests, 3);
    EXPECT_EQ(device.Counters().timeouts, 3);
    EXPECT_EQ(device.Counters().errors, 3);
    device.SelectStation(1);
    EXPECT_EQ(device.ReadRegisters(0x0030, 1, data), 1);  // and the line is fine afterwards
}

}  // namespace
}  // namespace vexlo
