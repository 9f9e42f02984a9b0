#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "console/LogFile.h"
#include "console/RawRegisterText.h"
#include "console/TraceList.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedTimeZone.h"
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

TEST(TraceListTest, KeepsTheNewest1001LinesAndShowsAt255BytesOfAReply) {
    TraceList trace;
    CountingObserver observer;
    trace.SetObserver(&observer);
    for (int i = 0; i < 1001; ++i) trace.AppendTraceLine(std::to_string(i));
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

    // The lines of an exchange are pinned by the console's traces; here what they never show.
    const auto request = FromHex("01 03 23 01 00 01 de 4e");
    EXPECT_EQ(ExchangeLines(request.data(), 0, request.data(), 0, false), Lines{});
    std::vector<std::uint8_t> big(261, 0xAB);
    const auto lines = ExchangeLines(request.data(), 8, big.data(), 261, false);
    EXPECT_EQ(lines[1].size(), 5u + 255u * 3u);  // only the first 255 bytes are shown
}

constexpr std::time_t kWhen = 1400594639;  // 2014-05-20 14:03:59 UTC

// Each copy asks, then appends every line and an empty one to the file named by the local second.
TEST(TraceCopyTest, AsksThenWritesEveryLineAndAnEmptyOne) {
    test::ScopedTimeZone zone("JST-9");
    using Outcome = TraceCopyResult::Outcome;
    const Lines two = {"<S>: 01 05 00 01 ff 00 dd fa ", "<R>:<none>"};
    const std::string twoWritten = "<S>: 01 05 00 01 ff 00 dd fa \r\n<R>:<none>\r\n\r\n";
    const std::string name = "2014-05-20-23-03-59.TXT";
    // The lines, the answer, what an earlier copy left (or a folder), the outcome, the file, the lines lost.
    const std::tuple<Lines, bool, std::string, Outcome, std::string, int> rows[] = {
        {two, true, "", Outcome::Written, twoWritten, 0},
        {two, true, "x\r\n", Outcome::Written, "x\r\n" + twoWritten, 0},
        {{}, true, "", Outcome::NothingToCopy, "", 0},
        {two, false, "", Outcome::Declined, "", 0},
        {two, true, "folder", Outcome::Failed, "", 3},
    };
    for (const auto& [lines, yes, before, outcome, after, linesFailed] : rows) {
        SCOPED_TRACE(static_cast<int>(outcome));
        test::ScopedWorkDir dir;
        TraceList trace;
        for (const auto& line : lines) trace.AppendTraceLine(line);
        if (before == "folder") {
            ASSERT_TRUE(std::filesystem::create_directory(dir.File(name)));
        } else if (!before.empty()) {
            test::WriteWholeFile(dir.File(name), before);
        }
        std::string asked;
        const auto result = CopyTraceToFile(trace, kWhen, [&](const std::string& question) {
            asked = question;
            return yes;
        });
        EXPECT_EQ(asked, "Copy to file ?\n" + name);
        EXPECT_EQ(result.outcome, outcome);
        EXPECT_EQ(result.linesFailed, linesFailed);
        if (before != "folder") {
            EXPECT_EQ(test::ReadWholeFile(dir.File(name)), after);
        }
    }
}

// Addresses are one to four hex digits; each read is shown six ways.
TEST(RawRegisterTextTest, HexAddressesAndSixInterpretations) {
    EXPECT_EQ(ParseHexAddress("2301"), 0x2301);
    EXPECT_EQ(ParseHexAddress(" aBcD "), 0xABCD);
    EXPECT_EQ(ParseHexAddress("0"), 0);
    EXPECT_EQ(ParseHexAddress("FFFF"), 0xFFFF);
    for (const char* refused : {"", "   ", "zz", "0x2301", "12345", "1FFFF", "23 01", "-1", "+1"}) {
        EXPECT_FALSE(ParseHexAddress(refused).has_value()) << '"' << refused << '"';
    }

    const RawReadText one = InterpretRegisters(0x34, 0x12, 0, 0);
    EXPECT_EQ(one.lines, (Lines{"word=4660, 1234(H)", "long=4660, 00001234(H)", "float=6.53005e-42",
                                "sw_word=13330, 3412(H)", "sw_long=873594880, 34120000(H)", "sw_float=1.35973e-07"}));
    EXPECT_EQ(one.longField, "4660");
    EXPECT_EQ(one.hexField, "00001234(H)");
    EXPECT_EQ(one.wordField, "4660");
    const RawReadText floatOne = InterpretRegisters(0x00, 0x00, 0x80, 0x3F);
    EXPECT_EQ(floatOne.lines[2], "float=1");
    EXPECT_EQ(floatOne.lines[1], "long=1065353216, 3f800000(H)");
    const RawReadText negative = InterpretRegisters(0xFF, 0xFF, 0xFF, 0xFF);
    EXPECT_EQ(negative.longField, "-1");
    EXPECT_EQ(negative.hexField, "ffffffff(H)");  // 32 bits even where long has 64
    EXPECT_EQ(negative.lines[1], "long=-1, ffffffff(H)");
}

}  // namespace
}  // namespace vexlo
