#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "common/TextFormat.h"
#include "history/ResultHistory.h"
#include "instrument/ParameterAccess.h"
#include "tests/support/ConsoleFixture.h"

namespace vexlo {
namespace {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun RunCli(const std::vector<std::string>& words) {
    const cli::ParsedLine parsed = cli::ParseCommandLine(words);
    if (!parsed.options) return {cli::CliSession::kBadUsage, "", parsed.error};
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::CliSession(*parsed.options, out, err).Run();
    return {code, out.str(), err.str()};
}

template <typename Lines>
std::string Joined(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

class CliTest : public test::ConsoleFixture {};

// The console and the command line read the same result from the same instrument: the same frame
// lines and the same result text, byte for byte.
TEST_F(CliTest, PrintsTheConsolesTextsForTheSameExchange) {
    instrumentTime = test::SimulatorThread::Time::ByHand;
    StartConsole();
    simulator->Model().SetParameter(0, 60, 2750);  // a reject limit of its own, so the leak is not 0
    console->StartCommand();
    simulator->AdvanceMs(simulator->Model().CycleLengthMs(0) + 1);
    console->Trace().Clear();
    console->ReadLastResultCommand();
    const std::string consoleText = Joined(console->Trace().Lines()) + Joined(console->Results().Lines());
    ASSERT_EQ(console->History().Entries().size(), 1u);
    const HistoryEntry consoleEntry = console->History().Entries().front();
    console->Shutdown();
    console.reset();

    const CliRun text = RunCli({"last-result", "--trace", "--station", "1"});
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(text.out, consoleText);
    EXPECT_NE(text.out.find("<S>: 01 03"), std::string::npos);

    const CliRun json = RunCli({"last-result", "--json", "--port", "COM1", "--station", "1"});
    EXPECT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find("\"leak\": " + FormatText("%.3f", consoleEntry.leak)), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"good\": " + std::string(consoleEntry.good ? "true" : "false")), std::string::npos);
    EXPECT_NE(json.out.find("\"program\": 1"), std::string::npos);
}

// A refused entry gives the console's prompt on standard error, exit status 2, and no frame.
TEST_F(CliTest, RefusalsSendNothingAndExitWithTwo) {
    StartConsole();
    console->Shutdown();
    console.reset();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"read", "1FFFF"}, "Please enter a hexadecimal address from 0 to FFFF.\n"},
        {{"read", "10", "129"}, "Please enter an integer between 1 and 128.\n"},
        {{"read", "10", "two"}, "Please enter an integer.\n"},
        {{"write-word", "G0", "5"}, "Please enter a hexadecimal address from 0 to FFFF.\n"},
        {{"read-time", "9"}, std::string(kBadProgramMessage) + "\n"},
        {{"status", "--station", "256"}, "Please enter an integer between 1 and 255.\n"},
        {{"cycle", "--count", "0"}, "--count takes a whole number of cycles, 1 or more\n"},
    };
    for (const auto& [words, message] : cases) {
        auto line = words;
        line.push_back("--trace");
        const CliRun run = RunCli(line);
        EXPECT_EQ(run.code, 2) << words[0];
        EXPECT_EQ(run.err, message) << words[0];
        EXPECT_EQ(run.out, "") << words[0];
    }
    EXPECT_EQ(RunCli({"frobnicate"}).code, 2);
    EXPECT_EQ(RunCli({"read"}).code, 2);  // too few arguments
}

TEST_F(CliTest, AFailedTransactionExitsWithOne) {
    StartConsole();
    console->Shutdown();
    console.reset();
    const CliRun run = RunCli({"status", "--station", "9", "--trace"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out.rfind("<S>: 09 ", 0), 0u) << run.out;  // the request went out, nothing decoded
    EXPECT_EQ(run.out.find("Running program"), std::string::npos);
    EXPECT_EQ(run.err, "No valid answer from station 9: 3 time-outs, 0 CRC errors, 0 exception replies.\n");
}

// Unattended cycles: each FIFO result goes into the CSV, its verdict bits agreeing with its leak
// and its program's reject limit.
TEST_F(CliTest, CycleRunsUnattendedAndWritesItsResults) {
    sim::InstrumentConfig fast;
    fast.speed = 200;
    StartConsole({}, fast);
    console->Shutdown();
    console.reset();
    double limits[8];
    for (int program = 0; program < 8; ++program) limits[program] = simulator->Model().Parameter(program, 60) * 0.001;
    const CliRun run =
        RunCli({"cycle", "--count", "3", "--read-fifo", "--csv", "results.csv", "--json", "--station", "1"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("\"cycles\": 3"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"results\": 3"), std::string::npos) << run.out;
    const auto entries = ResultHistory::ParseCsv(test::ReadWholeFile(dir.File("results.csv")));
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 3u);
    for (const auto& entry : *entries) {
        ASSERT_TRUE(entry.program >= 1 && entry.program <= 8);
        EXPECT_EQ(entry.good, entry.leak < limits[entry.program - 1]) << entry.leak;
        EXPECT_EQ(entry.badTest, !entry.good);
    }
    EXPECT_FALSE((*entries)[0].leak == (*entries)[1].leak && (*entries)[1].leak == (*entries)[2].leak);

    test::WriteWholeFile(dir.File("taken"), "");
    const CliRun unwritable = RunCli({"cycle", "--csv", dir.File("taken") + "/results.csv", "--station", "1"});
    EXPECT_EQ(unwritable.code, 1);
    EXPECT_EQ(unwritable.err, "The results could not be written to " + dir.File("taken") + "/results.csv.\n");
}

}  // namespace
}  // namespace vexlo
