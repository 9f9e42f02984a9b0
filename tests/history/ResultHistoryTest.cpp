#include <gtest/gtest.h>

#include <cmath>

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

    EXPECT_EQ(Entry(0x01).Verdict(), "Pass");
    EXPECT_EQ(Entry(0x02).Verdict(), "Test reject");
    EXPECT_EQ(Entry(0x08).Verdict(), "Alarm");
    EXPECT_EQ(Entry(0x00).Verdict(), "No verdict");
    EXPECT_TRUE(Entry(0x08).alarm);
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

TEST(ResultHistoryTest, CsvRoundTripKeepsEveryField) {
    ResultHistory history;
    auto first = HistoryEntry::From(MakeResult({1, 4, 0x01, 0, 2500125, 1000, 3250, 5000}), 1765000000123);
    auto second = HistoryEntry::From(MakeResult({6, 9, 0x0a, 0, -75, 2000, -1500, 6000}), 1765000061999);
    // Units with the characters CSV must quote.
    second.pressureUnit = "a,b";
    second.leakUnit = "say \"cc\"";
    history.Add(first);
    history.Add(second);
    const std::string csv = history.Csv();
    EXPECT_EQ(csv.substr(0, csv.find('\n')), ResultHistory::CsvHeader());
    EXPECT_NE(csv.find("3.250"), std::string::npos);  // dot decimals
    const auto parsed = ResultHistory::ParseCsv(csv);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, history.Entries());

    // Windows line ends read the same.
    std::string crlf;
    for (char c : csv) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ResultHistory::ParseCsv(crlf), parsed);
}

TEST(ResultHistoryTest, CsvThatIsNotAHistoryIsRefused) {
    const std::string header = std::string(ResultHistory::CsvHeader()) + "\n";
    EXPECT_FALSE(ResultHistory::ParseCsv("").has_value());
    EXPECT_FALSE(ResultHistory::ParseCsv("time,leak\n1,2\n").has_value());
    EXPECT_FALSE(ResultHistory::ParseCsv(header + "2026-12-06 10:00:00.000,1,1,1,0,0,0,1.0,bar,0.5\n").has_value());
    EXPECT_FALSE(ResultHistory::ParseCsv(header + "2026-12-06 10:00:00.000,1,1,1,0,0,0,1,0,bar,0.5,Pa\n").has_value());
    EXPECT_FALSE(ResultHistory::ParseCsv(header + "yesterday,1,1,1,0,0,0,1.0,bar,0.5,Pa\n").has_value());
    EXPECT_FALSE(
        ResultHistory::ParseCsv(header + "2026-12-06 10:00:00.000,1,1,1,0,0,0,1.0,\"bar,0.5,Pa\n").has_value());
    EXPECT_TRUE(ResultHistory::ParseCsv(header).has_value());
}

TEST(ResultHistoryTest, RejectLimitsAreKeptPerProgramUntilWritten) {
    ResultHistory history;
    int changes = 0;
    history.SetObserver([&] { ++changes; });
    history.SetRejectLimits(3, RejectLimits{4000, 2500, 5000});
    history.SetRejectLimits(9, RejectLimits{1, 1, 1});  // no such program: ignored
    ASSERT_TRUE(history.RejectLimitsOf(3).has_value());
    EXPECT_EQ(history.RejectLimitsOf(3)->test, 4000);
    EXPECT_EQ(history.RejectLimitsOf(3)->reference, 2500);
    EXPECT_FALSE(history.RejectLimitsOf(2).has_value());
    EXPECT_FALSE(history.RejectLimitsOf(9).has_value());
    history.SetRejectLimits(3, std::nullopt);
    EXPECT_FALSE(history.RejectLimitsOf(3).has_value());
    history.Add(HistoryEntry{});
    history.Clear();
    EXPECT_EQ(changes, 4);
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
