#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "console/TraceList.h"
#include "instrument/ConsoleReport.h"
#include "instrument/IdentifierAccess.h"
#include "instrument/ParameterAccess.h"
#include "instrument/ProgramBlocks.h"
#include "instrument/TimeParameters.h"
#include "instrument/TimeSetup.h"
#include "tests/support/SimulatedDeviceFixture.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;

// Records what instrument procedures report: the trace lines they would show (built from the
// device's last frames), the result list and the messages.
class RecordingReport final : public ConsoleReport {
public:
    explicit RecordingReport(TesterDevice& device) : device(device) {}

    void TraceExchange(DeviceStatus status) override {
        int requestLength = 0;
        int replyLength = 0;
        const auto* request = device.LastRequest(&requestLength);
        const auto* reply = device.LastReply(&replyLength);
        for (auto& line : ExchangeLines(request, requestLength, reply, replyLength, status != kDeviceOk)) {
            trace.push_back(line);
        }
    }
    void ClearTrace() override { trace.clear(); }
    void ClearResults() override { results.clear(); }
    void AppendResult(const std::string& line) override { results.push_back(line); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void RejectLimitsRead(int programNumber, const RejectLimits& limits) override {
        limitsRead.push_back({programNumber, limits.test, limits.reference, limits.unit});
    }
    void RejectLimitsChanged(int programNumber) override { limitsChanged.push_back(programNumber); }

    std::vector<std::array<std::int32_t, 4>> limitsRead;  // program, test, reference, unit
    std::vector<int> limitsChanged;

    std::vector<std::string> trace;
    std::vector<std::string> results;
    std::vector<std::string> messages;

private:
    TesterDevice& device;
};

class ParameterProceduresTest : public test::SimulatedDeviceFixture {
protected:
    RecordingReport report{device};
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

// Program 3 with times and limits that differ from every other program's. Only the test time shows
// as infinite when it rounds to zero, and the unit code is cut to its thousands.
TEST_P(ReadTimeTest, ShowsTheTimesAndGivesTheLimits) {
    const ReadTimeCase& c = GetParam();
    std::vector<sim::FaultRule> faults;
    if (c.silent != 0) faults.push_back({sim::FaultKind::NoReply, 1.0, c.silent});
    StartSimulator({}, {}, faults);
    if (c.silent != 0) ShortenReplyTimeout();
    const std::pair<int, std::int32_t> values[] = {{1, 1300}, {2, 1700},  {3, 40},     {9, 2940},
                                                   {10, 0},   {60, 4250}, {62, -1750}, {127, 14999}};
    for (const auto& [number, value] : values) simulator->Locked()->SetParameter(2, number, value);
    device.accessMode = c.mode;
    report.trace.push_back("old line");
    ReadTimeParameters(device, report, ParseProgramNumber("3"));
    const Lines lines = {
        "FILL TIME: 1.3",     "STAB TIME: 1.7",     "TEST TIME: Inf.",   "", "DUMP TIME: 2.9", "WAIT TIME: 0.0", "",
        "REJECT TEST: 4.250", "REJECT REF: -1.750", "REJECT UNIT: mbar", ""};
    EXPECT_EQ(report.results, Lines(lines.begin(), lines.begin() + c.results));
    ASSERT_EQ(report.trace.size(), c.traced);
    EXPECT_EQ(report.trace[0].substr(0, c.firstRequest.size()), c.firstRequest);
    using Limits = decltype(report.limitsRead);
    EXPECT_EQ(report.limitsRead, (c.results < 10 ? Limits{} : Limits{{3, 4250, -1750, 14999}}));  // no unit, no limits
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

TEST_F(ParameterProceduresTest, AnInvalidProgramSendsNothingAValidOneIsSelectedAndTraced) {
    StartSimulator();
    for (const char* text : {"0", "9", ""}) {
        ReadTimeParameters(device, report, ParseProgramNumber(text));
    }
    EXPECT_EQ(report.messages, Lines(3, "Program numero does not exist!!!"));
    EXPECT_EQ(device.Counters().requests, 0);
    EXPECT_EQ(SelectRunningProgram(device, 1, &report), kDeviceOk);
    ASSERT_EQ(report.trace.size(), 2u);
    EXPECT_EQ(report.trace[0].substr(0, 32), "<S>: 01 10 02 00 00 01 02 01 00 ");
    EXPECT_EQ(simulator->Locked()->RunningProgram(), 1);
}

TEST_F(ParameterProceduresTest, CurveInfoWithTheSecondCurveSilent) {
    StartSimulator({}, {}, {{sim::FaultKind::NoReply, 1.0, 0x0435}});
    ShortenReplyTimeout();
    ShowCurveInfo(device, report);
    EXPECT_EQ(report.results, (Lines{" -> Curve1", "Periode    = 10", "Max_Pts    = 500", "Resolution = 1",
                                     "MinVal_y   = 0", "MaxVal_y   = 1000", "Coeff      = 1.5", "LimSup_y   = 800",
                                     "LimInf_y   = 50", "Unit       = mbar"}));
    ASSERT_EQ(report.trace.size(), 4u);
    EXPECT_EQ(report.trace[3], "<R>:<none>");
}

TEST_F(ParameterProceduresTest, TwentyValuesAndRegulatorBits) {
    StartSimulator();
    ReadTwentyParameters(device, report);
    ASSERT_EQ(report.results.size(), 20u);
    EXPECT_EQ(report.results[0], "0 -> -2.500");
    EXPECT_EQ(report.results[19], "19 -> 7.000");
    EXPECT_TRUE(report.trace.empty());

    // The two low bits of the control word go on and off; the rest of the block stays.
    ASSERT_EQ(simulator->Locked()->WriteRegisters(0x0110, {0x0084, 0x1234, 0, 0, 0, 0}, 0), sim::Refusal::None);
    for (const auto& [on, control] : {std::pair<bool, std::uint16_t>{true, 0x0087}, {false, 0x0084}}) {
        ModifyRegulatorControl(device, report, on);
        sim::Registers block;
        simulator->Locked()->ReadRegisters(0x0110, 6, block, 0);
        EXPECT_EQ(block, (sim::Registers{control, 0x1234, 0, 0, 0, 0}));
    }
    EXPECT_EQ(report.trace.size(), 8u);
}

TEST(TimeSetupParseTest, RangesAndNumbers) {
    TimeSetupTexts texts = {"650", "0.5", "0", "9999", "0"};
    ASSERT_TRUE(std::holds_alternative<TimeSetupValues>(ParseTimeSetup(texts)));
    texts[1] = "0.4";
    auto result = ParseTimeSetup(texts);
    ASSERT_TRUE(std::holds_alternative<TimeSetupRefusal>(result));
    EXPECT_EQ(std::get<TimeSetupRefusal>(result).field, TimeSetupField::StabTime);
    EXPECT_EQ(std::get<TimeSetupRefusal>(result).message, "Please enter a number between 0.5 and 650.");
    texts[1] = "1";
    texts[0] = "650.1";
    EXPECT_EQ(std::get<TimeSetupRefusal>(ParseTimeSetup(texts)).field, TimeSetupField::FillTime);
    texts[0] = " 12 ";
    texts[3] = "2,5";  // a number followed by more is no number
    result = ParseTimeSetup(texts);
    EXPECT_EQ(std::get<TimeSetupRefusal>(result).field, TimeSetupField::RejectTest);
    EXPECT_EQ(std::get<TimeSetupRefusal>(result).message, "Please enter a number.");
    EXPECT_EQ(TimeSetupText(2.3f), "2.3");
    EXPECT_EQ(TimeSetupText(1234.5f), "1234.5");
}

// Both modes read the direct registers; the writes go one by one, or as one list.
TEST_F(ParameterProceduresTest, TimeSetupReadsDirectlyAndWritesDirectlyOrByList) {
    StartSimulator();
    for (AccessMode mode : {kStandardAccess, kDirectAccess}) {
        device.accessMode = mode;
        const TimeSetupValues values = ReadTimeSetup(device, 1);
        EXPECT_FLOAT_EQ(values[0], 1.1f);
        EXPECT_FLOAT_EQ(values[2], 2.2f);  // 2250 ms read with one decimal
        EXPECT_FLOAT_EQ(values[3], 5.0f);
        EXPECT_EQ(LastRequestHex().substr(0, 17), "01 03 20 3e 00 02");
    }
    EXPECT_TRUE(report.trace.empty());

    device.accessMode = kDirectAccess;
    WriteTimeSetup(device, report, 2, {2.3f, 1.5f, 0.0f, 1.2345f, 7.0f});
    EXPECT_EQ(report.trace.size(), 10u);
    const std::pair<int, std::int32_t> written[] = {{1, 2300}, {2, 1500}, {3, 0}, {60, 1234}, {62, 7000}};
    for (const auto& [number, value] : written) EXPECT_EQ(simulator->Locked()->Parameter(2, number), value) << number;

    device.accessMode = kStandardAccess;
    WriteTimeSetup(device, report, 4, {9.0f, 8.0f, 7.0f, 6.0f, 5.0f});
    ASSERT_EQ(report.trace.size(), 2u);
    EXPECT_EQ(report.trace[0].substr(0, 29), "<S>: 01 10 00 7f 00 10 20 05 ");
    EXPECT_EQ(simulator->Locked()->Parameter(4, 1), 9000);
    EXPECT_EQ(simulator->Locked()->Parameter(4, 62), 5000);
    EXPECT_EQ(simulator->Locked()->Parameter(2, 1), 2300);  // the other program is untouched
    // The limits read before of programs 3 and 5 no longer hold.
    EXPECT_EQ(report.limitsChanged, (std::vector<int>{3, 5}));
}

struct IdentifierCase {
    const char* name;
    AccessMode mode;
    std::string write;  // ID 20 of program 4 (selected apart) and -1.5 as thousandths, low word first
    int readRequests;   // the selection is sent but never traced
    std::size_t readTraced;
};

class IdentifierTest : public ParameterProceduresTest, public ::testing::WithParamInterface<IdentifierCase> {};

TEST_P(IdentifierTest, WritesAndReadsBackOneParameter) {
    const IdentifierCase& c = GetParam();
    StartSimulator();
    device.accessMode = c.mode;
    const std::int32_t neighbour = simulator->Locked()->Parameter(2, 20);
    EXPECT_FALSE(WriteIdentifier(device, report, "4", "20", "-1.5").message);
    EXPECT_EQ(simulator->Locked()->Parameter(3, 20), -1500);
    EXPECT_EQ(simulator->Locked()->Parameter(2, 20), neighbour);
    ASSERT_FALSE(report.trace.empty());
    EXPECT_EQ(report.trace[0].substr(0, c.write.size()), c.write);
    report.trace.clear();
    const int before = device.Counters().requests;
    EXPECT_EQ(ReadIdentifier(device, report, "4", "20").valueText, "-1.500");
    EXPECT_EQ(device.Counters().requests - before, c.readRequests);
    EXPECT_EQ(report.trace.size(), c.readTraced);
}

INSTANTIATE_TEST_SUITE_P(
    AccessModes, IdentifierTest,
    ::testing::Values(IdentifierCase{"Direct", kDirectAccess, "<S>: 01 10 20 14 00 02 04 24 fa ff ff ", 2, 2},
                      // any non-zero mode takes the direct registers in this dialog
                      IdentifierCase{"AnyOtherMode", 2, "<S>: 01 10 20 14 00 02 04 24 fa ff ff ", 2, 2},
                      IdentifierCase{"Lists", kStandardAccess, "<S>: 01 10 00 7f 00 04 08 01 00 14 00 24 fa ff ff ", 3,
                                     4}),
    [](const auto& info) { return std::string(info.param.name); });

// A value the operator did not mean is refused before any traffic: letters are not 0, and
// 3000000 would wrap to a negative thousandths value. The program and the ID are checked first.
TEST_F(ParameterProceduresTest, IdentifierRefusalsSendNothing) {
    StartSimulator();
    EXPECT_EQ(ReadIdentifier(device, report, "0", "").message, "Program numero does not exist!!!");
    EXPECT_EQ(ReadIdentifier(device, report, "1", "").message, "ID = ?");
    EXPECT_EQ(WriteIdentifier(device, report, "1", "5", "").message, "Value = ?");
    const auto refusal = [&](const char* value) { return WriteIdentifier(device, report, "4", "20", value).message; };
    const std::string outOfRange = "Please enter a number between -2147483.648 and 2147483.647.";
    for (AccessMode mode : {kStandardAccess, kDirectAccess}) {
        device.accessMode = mode;
        EXPECT_EQ(refusal("letters"), "Please enter a number.");
        EXPECT_EQ(refusal("nan"), "Please enter a number.");
        EXPECT_EQ(refusal("3000000"), outOfRange);
        EXPECT_EQ(refusal("-2147483.649"), outOfRange);
    }
    EXPECT_EQ(device.Counters().requests, 0);
    EXPECT_FALSE(WriteIdentifier(device, report, "4", "20", " -2147483.648").message);
    EXPECT_EQ(simulator->Locked()->Parameter(3, 20), INT32_MIN);
}

// The selection fails with a bad CRC on its register (0x2000 direct, 0x3004 for the lists): the
// writes that depend on it stay unsent and the trace shows the failed selection.
TEST_F(ParameterProceduresTest, WritesAreNotSentAfterAFailedSelection) {
    const std::tuple<AccessMode, std::uint16_t, std::string> selections[] = {
        {kDirectAccess, 0x2000, "<S>: 01 10 20 00 00 01 "}, {kStandardAccess, 0x3004, "<S>: 01 10 30 04 00 01 "}};
    for (const auto& [mode, selectionRegister, request] : selections) {
        StartSimulator({}, {}, {sim::FaultRule{sim::FaultKind::BadCrc, 1.0, selectionRegister}});
        simulator->Locked()->SetParameter(2, 1, 4321);
        device.accessMode = mode;
        for (int write = 0; write < 2; ++write) {
            device.ResetCounters();
            report.trace = {"earlier"};
            if (write == 0) {
                EXPECT_FALSE(WriteIdentifier(device, report, "3", "1", "9").message);
            } else {
                WriteTimeSetup(device, report, 2, {9.0f, 8.0f, 7.0f, 6.0f, 5.0f});
            }
            EXPECT_EQ(device.Counters().requests, 3);  // the selection's three attempts, nothing after
            ASSERT_EQ(report.trace.size(), 2u);
            EXPECT_EQ(report.trace[0].substr(0, request.size()), request);
            EXPECT_EQ(report.trace[1], "<R>:<none>");
            EXPECT_EQ(simulator->Locked()->Parameter(2, 1), 4321);
            EXPECT_TRUE(report.limitsChanged.empty());
        }
        device.Close();
    }
}

// A read whose reply fails its CRC shows zero, never the rejected bytes.
TEST_F(ParameterProceduresTest, IdentifierReadShowsZeroWhenTheReplyIsRejected) {
    StartSimulator({}, {}, {sim::FaultRule{sim::FaultKind::BadCrc, 1.0, 0x2001}});
    device.accessMode = kDirectAccess;
    EXPECT_EQ(ReadIdentifier(device, report, "1", "1").valueText, "0.000");
    EXPECT_EQ(report.trace.back(), "<R>:<none>");
    EXPECT_EQ(ReadTimeSetup(device, 0)[0], 0.0f);
}

// Each operation's request in each register map: every frame pinned here, once.
TEST_F(ParameterProceduresTest, EachOperationSendsItsFrame) {
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
}

class BlockCopyTest : public ParameterProceduresTest, public ::testing::WithParamInterface<int> {};

TEST_P(BlockCopyTest, CopiesProgramOneOntoSix) {
    const int length = GetParam();
    sim::InstrumentConfig config;
    config.blockSizeBytes = static_cast<std::uint16_t>(length);
    StartSimulator({}, config);
    ASSERT_EQ(CopyProgramRecord(device), CopyOutcome::Copied);
    EXPECT_EQ(device.Counters().requests, length > 246 ? 5 : 3);
    // The head's registers from 0x8000, the tail's from 0x8400; program 6 lies five registers on.
    for (const auto& [first, count] :
         {std::pair<std::uint16_t, int>{0x8000, std::min(length, 246) / 2}, {0x8400, (length - 246) / 2}}) {
        if (count <= 0) continue;
        const auto words = static_cast<std::uint16_t>(count);
        sim::Registers source, target;
        simulator->Locked()->ReadRegisters(first, words, source, 0);
        simulator->Locked()->ReadRegisters(static_cast<std::uint16_t>(first + 5), words, target, 0);
        EXPECT_EQ(source, target) << first;
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, BlockCopyTest, ::testing::Values(100, 400, 301));

class StationSearchTest : public ParameterProceduresTest, public ::testing::WithParamInterface<AccessMode> {};

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
        const DeviceStatus status = device.FindStation(station);
        EXPECT_EQ(std::tuple(status, station, device.Station(), device.Counters().requests),
                  std::tuple(outcome, found, found, requests));
        if (outcome == kDeviceOk) {
            EXPECT_EQ(LastRequestHex(), "3f 03 30 00 00 0a ce 13");
        }
        device.Close();
    }
}

INSTANTIATE_TEST_SUITE_P(AccessModes, StationSearchTest, ::testing::Values(kStandardAccess, kDirectAccess));

}  // namespace
}  // namespace vexlo
