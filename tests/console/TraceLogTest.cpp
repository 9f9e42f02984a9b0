#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "console/LogFile.h"
#include "console/TraceList.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;
using test::FromHex;

class CountingObserver final : public TraceListObserver {
public:
    void LineAppended(const std::string&) override { ++appended; }
    void FirstLineRemoved() override { ++removed; }
    void Cleared() override { ++cleared; }
    void LineSelected(int index) override { selected = index; }
    int appended = 0, removed = 0, cleared = 0, selected = -1;
};

TEST(TraceListTest, KeepsTheNewest1001Lines) {
    TraceList trace;
    CountingObserver observer;
    trace.SetObserver(&observer);
    for (int i = 0; i < 1000; ++i) trace.AppendTraceLine(std::to_string(i));
    trace.AppendTraceLine("1000");
    EXPECT_EQ(trace.Size(), 1001u);
    EXPECT_EQ(trace.Lines().front(), "0");
    trace.AppendTraceLine("1001");
    EXPECT_EQ(trace.Size(), 1001u);
    EXPECT_EQ(trace.Lines().front(), "1");
    EXPECT_EQ(trace.Lines().back(), "1001");
    EXPECT_EQ(observer.removed, 1);
    EXPECT_EQ(observer.selected, 1000);
    trace.AddLine("direct");  // no cap test and no selection
    EXPECT_EQ(trace.Size(), 1002u);
    EXPECT_EQ(trace.Selected(), 1000);
    trace.Clear();
    EXPECT_TRUE(trace.Empty());
    EXPECT_EQ(observer.cleared, 1);
}

TEST(TraceListTest, ExchangeLines) {
    const auto request = FromHex("01 03 23 01 00 01 de 4e");
    const auto reply = FromHex("01 03 02 34 12 2e 89");
    EXPECT_EQ(ExchangeLines(request.data(), 8, reply.data(), 7, false),
              (Lines{"<S>: 01 03 23 01 00 01 de 4e ", "<R>: 01 03 02 34 12 2e 89 "}));
    EXPECT_EQ(ExchangeLines(request.data(), 8, reply.data(), 7, true),
              (Lines{"<S>: 01 03 23 01 00 01 de 4e ", "<R>:<none>"}));
    EXPECT_EQ(ExchangeLines(request.data(), 0, reply.data(), 0, false), Lines{});
    std::vector<std::uint8_t> big(261, 0xAB);
    const auto lines = ExchangeLines(request.data(), 8, big.data(), 261, false);
    EXPECT_EQ(lines[1].size(), 5u + 255u * 3u);  // only the first 255 bytes are shown
}

TEST(LogFileTest, NameFollowsTheLocalTime) {
#if defined(_WIN32)
    _putenv_s("TZ", "UTC");
    _tzset();
#else
    setenv("TZ", "UTC", 1);
    tzset();
#endif
    EXPECT_EQ(MakeLogFileName(1400594639), "2014-05-20-14-03-59.TXT");
}

TEST(LogFileTest, CopyWritesEveryLineThenAnEmptyOne) {
    test::ScopedWorkDir dir;
    TraceList trace;
    trace.AppendTraceLine("<S>: 01 05 00 01 ff 00 dd fa ");
    trace.AppendTraceLine("<R>:<none>");
    std::string asked;
    const auto result = CopyTraceToFile(trace, 1400594639, [&](const std::string& question) {
        asked = question;
        return true;
    });
    EXPECT_EQ(asked, "Copy to file ?\n" + result.fileName);
    EXPECT_EQ(result.outcome, TraceCopyResult::Outcome::Written);
    EXPECT_EQ(test::ReadWholeFile(dir.File(result.fileName)), "<S>: 01 05 00 01 ff 00 dd fa \r\n<R>:<none>\r\n\r\n");
    // A second copy in the same second appends.
    CopyTraceToFile(trace, 1400594639, [](const std::string&) { return true; });
    EXPECT_EQ(test::ReadWholeFile(dir.File(result.fileName)).size(), 2 * 45u);
}

TEST(LogFileTest, DeclinedOrEmptyWritesNothing) {
    test::ScopedWorkDir dir;
    TraceList trace;
    bool asked = false;
    auto result = CopyTraceToFile(trace, 1400594639, [&](const std::string&) { return asked = true; });
    EXPECT_TRUE(asked);
    EXPECT_EQ(result.outcome, TraceCopyResult::Outcome::NothingToCopy);
    trace.AppendTraceLine("x");
    result = CopyTraceToFile(trace, 1400594639, [](const std::string&) { return false; });
    EXPECT_EQ(result.outcome, TraceCopyResult::Outcome::Declined);
    EXPECT_FALSE(std::filesystem::exists(dir.File(result.fileName)));
}

TEST(LogFileTest, AnUnwritableCopyIsReported) {
    test::ScopedWorkDir dir;
    TraceList trace;
    trace.AppendTraceLine("line");
    const std::string name = MakeLogFileName(1400594639);
    ASSERT_TRUE(std::filesystem::create_directory(dir.File(name)));  // something that cannot be opened as a file
    const auto result = CopyTraceToFile(trace, 1400594639, [](const std::string&) { return true; });
    EXPECT_EQ(result.outcome, TraceCopyResult::Outcome::Failed);
    EXPECT_EQ(result.linesFailed, 2);
    EXPECT_EQ(AppendLogLine(dir.File(name), "x", true), kDeviceFailed);
}

}  // namespace
}  // namespace vexlo
