#include <gtest/gtest.h>

#include <cstring>

#include "instrument/ParameterAccess.h"
#include "instrument/ProgramBlocks.h"
#include "instrument/TimeParameters.h"
#include "tests/support/RecordingReport.h"
#include "tests/support/SimulatedDeviceFixture.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;

class ParameterProceduresTest : public test::SimulatedDeviceFixture {
protected:
    test::RecordingReport report{device};
};

struct ReadTimeCase {
    const char* name;
    AccessMode mode;
    std::uint16_t silent;      // a register that never answers, 0 for none
    std::size_t traced;        // eight reads of two registers, or the list's write and its read
    std::string firstRequest;  // the selection is not traced
    std::size_t results;       // of the list's eleven lines
};

class ReadTimeTest : public ParameterProceduresTest, public ::testing::WithParamInterface<ReadTimeCase> {};

// Program 3 with times and limits that differ from every other program's; a test time under 50 ms
// shows as infinite, and the unit code is cut to its thousands.
TEST_P(ReadTimeTest, ShowsTheTimesAndGivesTheLimits) {
    const ReadTimeCase& c = GetParam();
    std::vector<sim::FaultRule> faults;
    if (c.silent != 0) faults.push_back({sim::FaultKind::NoReply, 1.0, c.silent});
    StartSimulator({}, {}, faults);
    if (c.silent != 0) ShortenReplyTimeout();
    const std::pair<int, std::int32_t> values[] = {{1, 1300}, {2, 1700},  {3, 40},    {9, 2940},
                                                   {10, 300}, {60, 4250}, {62, 1750}, {127, 14999}};
    for (const auto& [number, value] : values) simulator->Locked()->SetParameter(2, number, value);
    device.accessMode = c.mode;
    report.trace.push_back("old line");
    ReadTimeParameters(device, report, ParseProgramNumber("3"));
    const Lines lines = {
        "FILL TIME: 1.3",     "STAB TIME: 1.7",    "TEST TIME: Inf.",   "", "DUMP TIME: 2.9", "WAIT TIME: 0.3", "",
        "REJECT TEST: 4.250", "REJECT REF: 1.750", "REJECT UNIT: mbar", ""};
    EXPECT_EQ(report.results, Lines(lines.begin(), lines.begin() + c.results));
    ASSERT_EQ(report.trace.size(), c.traced);
    EXPECT_EQ(report.trace[0].substr(0, c.firstRequest.size()), c.firstRequest);
    if (c.results < 10) {  // no unit, no limits
        EXPECT_TRUE(report.limitsRead.empty());
        return;
    }
    ASSERT_EQ(report.limitsRead.size(), 1u);
    EXPECT_EQ(report.limitsRead[0].program, 3);
    EXPECT_EQ(report.limitsRead[0].limits.test, 4250);
    EXPECT_EQ(report.limitsRead[0].limits.reference, 1750);
    EXPECT_EQ(report.limitsRead[0].limits.unit, 14999);
}

const std::string kDirectRead = "<S>: 01 03 20 01 00 02 ";
const std::string kListWrite = "<S>: 01 10 00 00 00 09 12 08 00 01 00 02 00 03 00 09 00 0a 00 3c 00 3e 00 7f 00 ";

// The list's answer ends with an empty line; an unanswered selection falls back to the lists.
INSTANTIATE_TEST_SUITE_P(AccessModes, ReadTimeTest,
                         ::testing::Values(ReadTimeCase{"Direct", kDirectAccess, 0, 16, kDirectRead, 10},
                                           ReadTimeCase{"Lists", kStandardAccess, 0, 4, kListWrite, 11},
                                           ReadTimeCase{"SelectionUnanswered", kDirectAccess, 0x2000, 4, kListWrite,
                                                        11},
                                           ReadTimeCase{"UnitUnanswered", kDirectAccess, 0x207F, 16, kDirectRead, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ParameterProceduresTest, InvalidProgramSendsNothing) {
    StartSimulator();
    for (const char* text : {"0", "9", ""}) {
        ReadTimeParameters(device, report, ParseProgramNumber(text));
    }
    EXPECT_EQ(report.messages, Lines(3, "Program numero does not exist!!!"));
    EXPECT_EQ(device.Counters().requests, 0);
}

TEST_F(ParameterProceduresTest, RunningProgramAndParameterValues) {
    StartSimulator();
    EXPECT_EQ(SelectRunningProgram(device, 1, &report), kDeviceOk);
    ASSERT_EQ(report.trace.size(), 2u);
    EXPECT_EQ(report.trace[0].substr(0, 32), "<S>: 01 10 02 00 00 01 02 01 00 ");
    EXPECT_EQ(simulator->Locked()->RunningProgram(), 1);

    ASSERT_EQ(WriteWord(device, registers::kParameterProgram, 3), kDeviceOk);
    EXPECT_EQ(WriteParameterValue(device, 0x2002, static_cast<double>(2.3f), report), kDeviceOk);
    EXPECT_EQ(simulator->Locked()->Parameter(3, 2), 2300);
    EXPECT_DOUBLE_EQ(ReadParameterValue(device, 0x2002, false), 2.3);
    EXPECT_DOUBLE_EQ(ReadParameterValue(device, 0x203C, true), 5.0);
}

TEST_F(ParameterProceduresTest, CurveInfoWithTheSecondCurveSilent) {
    StartSimulator({}, {}, {{sim::FaultKind::NoReply, 1.0, 0x0435}});
    ShortenReplyTimeout();
    ShowCurveInfo(device, report);
    ASSERT_EQ(report.results.size(), 10u);
    EXPECT_EQ(report.results[0], " -> Curve1");
    EXPECT_EQ(report.results[6], "Coeff      = 1.5");
    EXPECT_EQ(report.results[9], "Unit       = mbar");
    ASSERT_EQ(report.trace.size(), 4u);
    EXPECT_EQ(report.trace[3], "<R>:<none>");
    std::uint8_t record[52];
    std::memset(record, 0xEE, sizeof record);
    EXPECT_EQ(device.ReadCurveInfo(2, record), kDeviceFailed);
    EXPECT_EQ(record[0], 0xEE);  // a failed read leaves the caller's record as it was
    EXPECT_EQ(record[51], 0xEE);
}

TEST_F(ParameterProceduresTest, TwentyValuesAndRegulatorBits) {
    StartSimulator();
    ReadTwentyParameters(device, report);
    ASSERT_EQ(report.results.size(), 20u);
    EXPECT_EQ(report.results[0], "0 -> -2.500");
    EXPECT_TRUE(report.trace.empty());

    ASSERT_EQ(simulator->Locked()->WriteRegisters(0x0110, {0x0084, 0x1234, 0, 0, 0, 0}, 0), sim::Refusal::None);
    ModifyRegulatorControl(device, report, true);
    sim::Registers block;
    simulator->Locked()->ReadRegisters(0x0110, 6, block, 0);
    EXPECT_EQ(block[0], 0x0087);
    EXPECT_EQ(block[1], 0x1234);
    ModifyRegulatorControl(device, report, false);
    simulator->Locked()->ReadRegisters(0x0110, 6, block, 0);
    EXPECT_EQ(block[0], 0x0084);
    EXPECT_EQ(report.trace.size(), 8u);
}

}  // namespace
}  // namespace vexlo
