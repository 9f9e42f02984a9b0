#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "history/ResultHistory.h"
#include "history/SessionLog.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

// Midday of a local date, as milliseconds since the epoch.
std::int64_t LocalNoonMs(int year, int month, int day) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = 12;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts)) * 1000;
}

// A day's lines with their milliseconds; the next day has a file of its own; an earlier session's log
// is appended to.
TEST(SessionLogTest, EachDayHasItsFileAndAnEarlierLogIsAppendedTo) {
    test::ScopedWorkDir dir;
    test::WriteWholeFile(dir.File("VexloModbusTester-2026-12-06.log"), "earlier session\n");
    SessionLog log(dir.Path());
    const std::int64_t noon = LocalNoonMs(2026, 12, 6);
    EXPECT_EQ(SessionLog::FileName(noon), "VexloModbusTester-2026-12-06.log");
    EXPECT_EQ(log.Append("<S>: 01 03 00 0", noon + 7), std::nullopt);
    EXPECT_EQ(log.Append("<S>: 01 03 00 1499", noon + 1506), std::nullopt);
    EXPECT_EQ(log.Append("second day", LocalNoonMs(2026, 12, 7)), std::nullopt);
    EXPECT_EQ(
        test::ReadWholeFile(dir.File("VexloModbusTester-2026-12-06.log")),
        "earlier session\n2026-12-06 12:00:00.007  <S>: 01 03 00 0\n2026-12-06 12:00:01.506  <S>: 01 03 00 1499\n");
    EXPECT_EQ(test::ReadWholeFile(dir.File("VexloModbusTester-2026-12-07.log")),
              "2026-12-07 12:00:00.000  second day\n");
}

// A folder that cannot take the file (here a plain file stands where the folder should be: that
// refuses even a root user, for whom permission bits do not).
TEST(SessionLogTest, AFailureIsReportedOnceThenAgainAfterARecovery) {
    test::ScopedWorkDir dir;
    test::WriteWholeFile(dir.File("not-a-folder"), "");
    SessionLog log(dir.File("not-a-folder"));
    const std::int64_t noon = LocalNoonMs(2026, 12, 6);
    const auto message = log.Append("line 1", noon);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(*message, "The session log could not be written to " + dir.File("not-a-folder") +
                            "/VexloModbusTester-2026-12-06.log.");
    EXPECT_EQ(log.Append("line 2", noon + 1), std::nullopt);
    EXPECT_EQ(log.Append("line 3", noon + 2), std::nullopt);

    std::remove(dir.File("not-a-folder").c_str());
    ASSERT_EQ(::mkdir(dir.File("not-a-folder").c_str(), 0700), 0);
    EXPECT_EQ(log.Append("line 4", noon + 3), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(dir.File("not-a-folder/VexloModbusTester-2026-12-06.log")),
              "2026-12-06 12:00:00.003  line 4\n");
}

}  // namespace
}  // namespace vexlo
