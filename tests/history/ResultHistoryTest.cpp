#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "common/LocalTimestamp.h"
#include "history/LiveTrend.h"
#include "history/ResultHistory.h"
#include "tests/support/Records.h"

namespace vexlo {
namespace {

using test::MakeResult;

HistoryEntry Entry(std::uint8_t relays, std::int32_t leak = 0, std::int64_t timeMs = 0) {
    return HistoryEntry::From(MakeResult({.relays = relays, .leak = leak}), timeMs);
}

TEST(ResultHistoryTest, EntryTakesEachFieldFromItsOwnPlace) {
    // Unit codes 1 and 5 differ, program and test type differ, one relay bit at a time.
    const auto entry = HistoryEntry::From(MakeResult({2, 7, 0x04, 0, 1500250, 1000, -12345, 5000}), 1234567);
    EXPECT_EQ(entry.timeMs, 1234567);
    EXPECT_EQ(entry.program, 3);
    EXPECT_EQ(entry.testType, 7);
    EXPECT_FALSE(entry.good);
    EXPECT_FALSE(entry.badTest);
    EXPECT_TRUE(entry.badReference);
    EXPECT_FALSE(entry.alarm);
    EXPECT_DOUBLE_EQ(entry.pressure, 1500.25);
    EXPECT_DOUBLE_EQ(entry.leak, -12.345);
    EXPECT_NE(entry.pressureUnit, entry.leakUnit);
    EXPECT_EQ(entry.Verdict(), "Reference reject");
    EXPECT_EQ(Entry(0x00).Verdict(), "No verdict");
}

TEST(ResultHistoryTest, StatisticsOverKnownResults) {
    ResultHistory history;
    EXPECT_EQ(history.Statistics().count, 0u);
    // Leaks 1, 2, 4, 9 with three passes out of four: mean 4, sample deviation sqrt(38/3).
    const std::int32_t leaks[] = {1000, 2000, 4000, 9000};
    const std::uint8_t relays[] = {0x01, 0x01, 0x02, 0x01};
    for (int i = 0; i < 4; ++i) history.Add(Entry(relays[i], leaks[i], i));
    const HistoryStatistics stats = history.Statistics();
    EXPECT_EQ(stats.count, 4u);
    EXPECT_EQ(stats.passed, 3u);
    EXPECT_DOUBLE_EQ(stats.passRate, 0.75);
    EXPECT_DOUBLE_EQ(stats.meanLeak, 4.0);
    EXPECT_NEAR(stats.leakDeviation, std::sqrt(38.0 / 3.0), 1e-12);

    ResultHistory single;
    single.Add(Entry(0x02, 5000));
    EXPECT_EQ(single.Statistics().passRate, 0.0);
    EXPECT_EQ(single.Statistics().leakDeviation, 0.0);

    // A good-part bit beside an alarm is no pass.
    ResultHistory mixed;
    mixed.Add(Entry(0x01, 1000));
    mixed.Add(Entry(0x09, 1000));
    EXPECT_EQ(mixed.Statistics().passed, 1u);
    EXPECT_EQ(mixed.Entries().back().Verdict(), "Alarm");
}

// Each result is one line; fields with a comma or a quote are quoted; dot decimals.
TEST(ResultHistoryTest, CsvHoldsEveryFieldOfEachResult) {
    ResultHistory history;
    history.Add(HistoryEntry::From(MakeResult({1, 4, 0x01, 0, 2500125, 1000, 3250, 5000}), 1765000000123));
    auto second = HistoryEntry::From(MakeResult({6, 9, 0x0a, 23, -75, 2000, -1500, 6000}), 1765000061999);
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
