#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "common/LocalTimestamp.h"
#include "history/LiveTrend.h"
#include "history/ResultHistory.h"
#include "tests/support/Records.h"

namespace vexlo {
namespace {

HistoryEntry Entry(int program, std::uint8_t relays, std::int32_t leak) {
    return HistoryEntry::From(test::MakeResult({.programIndex = program - 1, .relays = relays, .leak = leak}), 0);
}

// The window shows count, passes and mean (HistoryWindowTest); the deviation and the edge cases are here.
TEST(ResultHistoryTest, StatisticsOfAProgram) {
    ResultHistory history;
    // Program 1: leaks 1, 2, 4, 9, a sample deviation of sqrt(38/3); program 2: one result, a good-part bit
    // beside an alarm, which is no pass.
    for (std::int32_t leak : {1000, 2000, 4000, 9000}) history.Add(Entry(1, 0x01, leak));
    history.Add(Entry(2, 0x09, 5000));
    EXPECT_NEAR(history.Statistics(1).leakDeviation, std::sqrt(38.0 / 3.0), 1e-12);
    EXPECT_EQ(history.Statistics(2).passed, 0u);
    EXPECT_EQ(history.Statistics(2).leakDeviation, 0.0);
    EXPECT_EQ(history.Statistics(3).count, 0u);
    EXPECT_EQ(history.Entries().back().Verdict(), "Alarm");
    EXPECT_EQ(Entry(1, 0x00, 0).Verdict(), "No verdict");
}

// Each result is one line; fields with a comma or a quote are quoted; dot decimals.
TEST(ResultHistoryTest, CsvHoldsEveryFieldOfEachResult) {
    ResultHistory history;
    history.Add(HistoryEntry::From(test::MakeResult({1, 4, 0x01, 0, 2500125, 1000, 3250, 5000}), 1765000000123));
    auto second = HistoryEntry::From(test::MakeResult({6, 9, 0x0a, 23, -75, 2000, -1500, 6000}), 1765000061999);
    second.pressureUnit = "a,b";
    second.leakUnit = "say \"cc\"";
    second.partId = "SN-7";
    second.operatorName = "Ann";
    history.Add(second);
    EXPECT_EQ(history.Csv(), std::string(ResultHistory::CsvHeader()) + "\n" + IsoTimestamp(1765000000123) +
                                 ",2,4,Pass,0,1,0,0,0,2500.125,cm3/mn,3.250,Pa/s cal,,\n" +
                                 IsoTimestamp(1765000061999) +
                                 R"(,7,9,Alarm,23,0,1,0,1,-0.075,"a,b",-1.500,"say ""cc""",SN-7,Ann)" + "\n");
}

// Limits read for a program hold until they are written again; every change is told to the windows.
TEST(ResultHistoryTest, RejectLimitsAreKeptPerProgramUntilWritten) {
    ResultHistory history;
    int changes = 0;
    history.SetObserver([&] { ++changes; });
    history.SetRejectLimits(3, RejectLimits{4000, 2500, 5000});
    ASSERT_TRUE(history.RejectLimitsOf(3).has_value());
    EXPECT_EQ(std::tuple(history.RejectLimitsOf(3)->test, history.RejectLimitsOf(3)->reference),
              std::tuple(4000, 2500));
    EXPECT_FALSE(history.RejectLimitsOf(2).has_value());
    history.SetRejectLimits(3, std::nullopt);
    EXPECT_FALSE(history.RejectLimitsOf(3).has_value());
    EXPECT_EQ(changes, 2);
}

TEST(LiveTrendTest, KeepsTheLastMinuteOnly) {
    LiveTrend trend;
    trend.Add(1000, 1.5, -0.25);
    trend.Add(31000, 2.5, -0.5);
    trend.Add(61000, 3.5, -0.75);
    ASSERT_EQ(trend.Samples().size(), 3u);  // exactly 60 s old: kept
    trend.Add(61001, 4.5, -1.0);
    ASSERT_EQ(trend.Samples().size(), 3u);
    EXPECT_EQ(trend.Samples().front().measure1, 2.5);
    trend.Expire(121001);
    ASSERT_EQ(trend.Samples().size(), 1u);
    EXPECT_EQ(trend.Samples().front().timeMs, 61001);
    trend.Expire(200000);
    EXPECT_TRUE(trend.Samples().empty());
    // A clock that went back starts again.
    trend.Add(5000, 1, 2);
    trend.Add(4000, 3, 4);
    ASSERT_EQ(trend.Samples().size(), 1u);
    EXPECT_EQ(trend.Samples().front().measure1, 3);
}

}  // namespace
}  // namespace vexlo
