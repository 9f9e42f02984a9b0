#include <gtest/gtest.h>

#include "instrument/IdentifierAccess.h"
#include "instrument/TimeSetup.h"
#include "tests/support/RecordingReport.h"
#include "tests/support/SimulatedDeviceFixture.h"

namespace vexlo {
namespace {

class ParameterDialogsTest : public test::SimulatedDeviceFixture {
protected:
    test::RecordingReport report{device};
};

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

TEST_F(ParameterDialogsTest, TimeSetupReadsTheDirectRegistersInBothModes) {
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
}

TEST_F(ParameterDialogsTest, TimeSetupWritesDirectlyOrByList) {
    StartSimulator();
    const TimeSetupValues values = {2.3f, 1.5f, 0.0f, 1.2345f, 7.0f};
    device.accessMode = kDirectAccess;
    WriteTimeSetup(device, report, 2, values);
    EXPECT_EQ(report.trace.size(), 10u);
    EXPECT_EQ(simulator->Locked()->Parameter(2, 1), 2300);
    EXPECT_EQ(simulator->Locked()->Parameter(2, 2), 1500);
    EXPECT_EQ(simulator->Locked()->Parameter(2, 3), 0);
    EXPECT_EQ(simulator->Locked()->Parameter(2, 60), 1234);
    EXPECT_EQ(simulator->Locked()->Parameter(2, 62), 7000);

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

class IdentifierTest : public ParameterDialogsTest, public ::testing::WithParamInterface<IdentifierCase> {};

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

// ID 0 in direct access reads from 0x2000: the selection (2), then the low half of parameter 1 (1200).
TEST_F(ParameterDialogsTest, IdentifierZeroReadsTheSelection) {
    StartSimulator();
    device.accessMode = kDirectAccess;
    EXPECT_EQ(ReadIdentifier(device, report, "3", "0").valueText, "78643.202");
}

// A value the operator did not mean is refused before any traffic: letters are not 0, and
// 3000000 would wrap to a negative thousandths value. The program and the ID are checked first.
TEST_F(ParameterDialogsTest, IdentifierRefusalsSendNothing) {
    StartSimulator();
    EXPECT_EQ(ReadIdentifier(device, report, "0", "").message, "Program numero does not exist!!!");
    EXPECT_EQ(ReadIdentifier(device, report, "1", "").message, "ID = ?");
    EXPECT_EQ(WriteIdentifier(device, report, "1", "5", "").message, "Value = ?");
    for (AccessMode mode : {kStandardAccess, kDirectAccess}) {
        device.accessMode = mode;
        EXPECT_EQ(WriteIdentifier(device, report, "4", "20", "letters").message, "Please enter a number.");
        EXPECT_EQ(WriteIdentifier(device, report, "4", "20", "nan").message, "Please enter a number.");
        EXPECT_EQ(WriteIdentifier(device, report, "4", "20", "3000000").message,
                  "Please enter a number between -2147483.648 and 2147483.647.");
        EXPECT_EQ(WriteIdentifier(device, report, "4", "20", "-2147483.649").message,
                  "Please enter a number between -2147483.648 and 2147483.647.");
    }
    EXPECT_EQ(device.Counters().requests, 0);
    EXPECT_FALSE(WriteIdentifier(device, report, "4", "20", " -2147483.648").message);
    EXPECT_EQ(simulator->Locked()->Parameter(3, 20), INT32_MIN);
}

// The selection fails with a bad CRC on its register (0x2000 direct, 0x3004 for the lists): the
// writes that depend on it stay unsent and the trace shows the failed selection.
TEST_F(ParameterDialogsTest, WritesAreNotSentAfterAFailedSelection) {
    const std::pair<AccessMode, std::uint16_t> selections[] = {{kDirectAccess, 0x2000}, {kStandardAccess, 0x3004}};
    for (const auto& [mode, selectionRegister] : selections) {
        StartSimulator({}, {}, {sim::FaultRule{sim::FaultKind::BadCrc, 1.0, selectionRegister}});
        simulator->Locked()->SetParameter(2, 1, 4321);
        device.accessMode = mode;
        const std::string request =
            test::ToHex(test::FromHex(mode == kDirectAccess ? "01 10 20 00 00 01" : "01 10 30 04 00 01"));
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
            EXPECT_EQ(report.trace[0].substr(0, 23), "<S>: " + request + " ");
            EXPECT_EQ(report.trace[1], "<R>:<none>");
            EXPECT_EQ(simulator->Locked()->Parameter(2, 1), 4321);
            EXPECT_TRUE(report.limitsChanged.empty());
        }
        device.Close();
    }
}

// A read whose reply fails its CRC shows zero, never the rejected bytes.
TEST_F(ParameterDialogsTest, IdentifierReadShowsZeroWhenTheReplyIsRejected) {
    StartSimulator({}, {}, {sim::FaultRule{sim::FaultKind::BadCrc, 1.0, 0x2001}});
    device.accessMode = kDirectAccess;
    EXPECT_EQ(ReadIdentifier(device, report, "1", "1").valueText, "0.000");
    EXPECT_EQ(report.trace.back(), "<R>:<none>");
    EXPECT_EQ(ReadTimeSetup(device, 0)[0], 0.0f);
}

}  // namespace
}  // namespace vexlo
