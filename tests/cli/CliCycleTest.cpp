// Unattended cycles: a stop loses nothing and leaves no cycle running; a cycle without progress ends the run.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "modbus/ModbusRtuMaster.h"
#include "serial/PortTable.h"
#include "tests/cli/RunCli.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorThread.h"

namespace vexlo::test {
namespace {

class CliCycleTest : public ::testing::Test {
protected:
    ScopedWorkDir dir;
    // The instrument's cycle moves only when the test says so.
    SimulatorThread simulator{{1, false}, {}, {}, {}, SimulatorThread::Time::ByHand};
    const std::int64_t firstCycleMs = simulator.Locked()->CycleLengthMs(0);
    // Results are recorded beside the INI file, as on a station set up for production.
    void SetUp() override { WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nStation=1\n"); }

    // Starts three cycles and lets the first one end: its result is printed.
    void RunFirstCycle(ChildProcess& cli) {
        ASSERT_TRUE(cli.WaitForOutput("Waiting EOC", 30000)) << cli.Piped();
        simulator.AdvanceMs(firstCycleMs + 1);
        ASSERT_TRUE(cli.WaitForOutput("Leak unit", 30000)) << cli.Piped();
    }
};

// Stopped in its second cycle by a signal or a reader gone (| head): first result kept, second cycle reset.
TEST_F(CliCycleTest, AStopKeepsResultsAndResetsTheInstrument) {
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        ChildProcess cli(CliCommand({"cycle", "--count", "3", "--csv", "results.csv", "--trace", "--port",
                                     simulator.PortPath(), "--station", "1"}),
                         ChildProcess::Stream::Output);
        RunFirstCycle(cli);
        if (signal == SIGPIPE) {
            cli.CloseOutput();
        } else {
            ASSERT_TRUE(cli.WaitForOutput("Waiting EOC", 30000, 2)) << cli.Piped();
            cli.Signal(signal);
        }
        EXPECT_EQ(cli.Wait(), 128 + signal) << cli.Kept();
        EXPECT_EQ(cli.Kept(), "");
        const std::string csv = ReadWholeFile(dir.File("results.csv"));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);  // the header and the first result
        EXPECT_FALSE(simulator.Locked()->CycleRunning());
        simulator.AdvanceMs(firstCycleMs * 10);
    }
}

// On the replaceable clock: an instrument never ready, or a cycle that never moves, fails the run.
TEST_F(CliCycleTest, NoProgressTowardsAResultFails) {
    ManualClock clock;
    // What an in-process run changes for the whole process, given back however the test ends.
    struct Restore {
        ~Restore() {
            SetCreateMissingPortTable(true);
            ModbusRtuMaster::AttemptLimit() = 3;
        }
    } restore;
    const struct {
        std::vector<const char*> words;
        bool busyBefore;
        std::string message;
    } cases[] = {
        {{"vexlo-cli", "cycle"}, true, "no result for 30 s (the instrument is not ready)"},
        {{"vexlo-cli", "run", "--program", "3", "--wait"}, true, "program 3 made no progress for 30 s"},
        {{"vexlo-cli", "cycle", "--count", "2"}, false, "cycle 1 ended without its result"},
    };
    for (const auto& [words, busyBefore, message] : cases) {
        // The instrument's time stands still: a cycle started never ends.
        if (busyBefore) {
            ASSERT_EQ(RunCli({"start", "--port", simulator.PortPath(), "--station", "1"}).code, 0);
        }
        std::vector<const char*> argv = words;
        for (const char* word : {"--port", simulator.PortPath().c_str(), "--station", "1"}) argv.push_back(word);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const auto parsed = cli::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
        ASSERT_TRUE(parsed.options);
        const int code = cli::CliSession(*parsed.options, out, err).Run();
        std::rewind(err);
        char text[512] = {};
        (void)std::fread(text, 1, sizeof text - 1, err);
        EXPECT_EQ(code, 1) << text;
        EXPECT_NE(std::string(text).find(message), std::string::npos) << text;
        std::fclose(out);
        std::fclose(err);
        // A cycle this run started is reset; one it found running is left alone.
        EXPECT_EQ(simulator.Locked()->CycleRunning(), words[1] == std::string("cycle") && busyBefore);
        if (busyBefore) {
            ASSERT_EQ(RunCli({"reset", "--port", simulator.PortPath(), "--station", "1"}).code, 0);
        }
    }
}

}  // namespace
}  // namespace vexlo::test
