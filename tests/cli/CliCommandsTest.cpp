// vexlo-cli as a script runs it: a child process against the simulated instrument on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <tuple>

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "modbus/ModbusRtuMaster.h"
#include "serial/PortTable.h"
#include "simulator/harness/SimulatorThread.h"
#include "tests/cli/RunCli.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo::test {
namespace {

using Json = nlohmann::json;
using Words = std::vector<std::string>;

Words With(Words words, const Words& more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

class CliCommandsTest : public ::testing::Test {
protected:
    ScopedWorkDir dir;
    SimulatorThread simulator{{7, false}};
    Words Port() const { return {"--port", simulator.PortPath(), "--station", "7"}; }
};

// Each refusal names what it refuses, exits 2, and comes before the (missing) port or the store opens.
TEST_F(CliCommandsTest, RefusesBadLinesBeforeThePortOrTheStoreOpens) {
    WriteWholeFile(dir.File("VexloModbusTester.ini"), "");
    WriteWholeFile(dir.File("bad.txt"), "1.5\n2,5\n");
    std::vector<std::pair<Words, std::string>> cases = {
        {{"read", "ZZZ"}, "ADDR \"ZZZ\": Please enter a hexadecimal address from 0 to FFFF."},
        {{"read", "30", "13x"}, "COUNT \"13x\": Please enter an integer between 1 and 128."},
        {{"read", "30", "129"}, "COUNT \"129\""},
        {{"write-word", "10", "70000"}, "VALUE \"70000\""},
        {{"write-id", "1", "60", "2,5"}, "VALUE \"2,5\": Please enter a number."},
        {{"read-id", "1", "x"}, "ID \"x\": ID = ?"},
        {{"read-time", "1.5"}, "PROG \"1.5\": Program numero does not exist!!!"},
        {{"cycle", "--pause", "4294967297"}, "--pause"},
        {{"status", "--station", "256"}, "--station"},
        {{"status", "--count", "3"}, "--count"},
        {{"scan", "--station", "3"}, "--station: does not apply to scan"},
        {{"scan", "--from", "9", "--to", "3"}, "--from"},
        {{"watch", "--stations", "1,x"}, "--stations"},
        {{"status", "--parity", "mark"}, "--parity"},
        {{"cycle", "--append"}, "--csv"},
        {{}, "subcommand"},
        {{"frob", "1"}, "unknown command \"frob\""},
        {{"status", "--part", "SN-1"}, "--part"},
        {{"run", "--program", "1", "--operator", "Ann"}, "--wait"},
    };
    for (auto& [words, message] : cases) words = With(words, {"--port", "/dev/ttyNOPE", "--trace"});
    cases.insert(
        cases.end(),
        {
            {{"history", "--since", "yesterday"}, "--since"},
            {{"history", "--port", "/dev/ttyS0"}, "--port: does not apply to history"},
            {{"history", "--csv", "--json"}, "--csv"},
            {{"spc", "--values", "bad.txt"}, "bad.txt, line 2"},
            {{"gauge", "--reference", "5", "--tolerance", "2", "--values", "bad.txt"}, "line 2"},
            {{"spc", "--values", "bad.txt", "--usl", "2,5"}, "--usl"},
            {{"spc"}, "--values FILE or --program P"},
            {{"gauge", "--reference", "5", "--tolerance", "0", "--values", "bad.txt"}, "--tolerance"},
            {{"gauge", "--reference", "5", "--tolerance", "2", "--program", "2", "--values", "bad.txt"}, "--count"},
        });
    for (const auto& [words, message] : cases) {
        const CliRun run = RunCli(words);
        EXPECT_EQ(std::tuple(run.code, run.err.rfind("vexlo-cli: ", 0), run.out), std::tuple(2, 0u, "")) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::ifstream(dir.File("VexloModbusTester.db")).good()) << "no store made";
}

// A number followed by anything but blanks is no number, in every field that sends a value.
TEST(StrictNumbersTest, TextAfterANumberIsRefused) {
    for (const char* text : {"2,5", "5abc", "1.5.", "", " ", "nan", "inf", "0x10", "1e", "--1", "+-1", "1 2"}) {
        EXPECT_FALSE(ParseDecimalNumber(text)) << text;
        EXPECT_FALSE(ParseWholeNumber(text)) << text;
    }
    EXPECT_EQ(ParseDecimalNumber(" -2.5e1 "), -25.0);
    EXPECT_EQ(ParseDecimalNumber("+.5"), 0.5);
    EXPECT_FALSE(ParseWholeNumber("1.5"));
    EXPECT_FALSE(ParseWholeNumberIn("4294967297", 0, 86400));
    EXPECT_EQ(ParseWholeNumberIn(" 86400 ", 0, 86400), 86400);

    EXPECT_EQ(ParseNumberList("1,2,5-7,2", 1, 247), (std::vector<int>{1, 2, 5, 6, 7}));
    for (const char* text : {"", "1,", "0", "248", "7-5", "1-x", "-3", "1;2"})
        EXPECT_FALSE(ParseNumberList(text, 1, 247)) << text;
}

// One shape for every command: the command, its success, its data, the messages, the trace.
TEST_F(CliCommandsTest, OneJsonShapeWithNamedRelayBits) {
    simulator.Locked()->SetParameter(0, 60, 2750);
    const std::pair<Words, std::vector<std::string>> cases[] = {
        {{"status"}, {"goodPart", "testReject", "referenceReject", "alarm", "endOfCycle", "stepCode"}},
        {{"read", "30", "3"}, {"registers", "long", "float"}},
        {{"read-time", "2"}, {"lines"}},
        {{"select-prog", "2"}, {}},
        {{"read-id", "2", "60"}, {"value"}},
        {{"curves"}, {"lines"}},
    };
    for (const auto& [words, keys] : cases) {
        const CliRun run = RunCli(With(words, With(Port(), {"--json", "--trace"})));
        ASSERT_EQ(run.code, 0) << run.err;
        const Json json = Json::parse(run.out);
        EXPECT_EQ(std::tuple(json["command"], json["ok"], json["messages"].is_array(), json["trace"].empty()),
                  std::tuple(words[0], true, true, false))
            << run.out;
        for (const auto& key : keys) EXPECT_TRUE(json.contains(key)) << words[0] << " " << key;
    }
    EXPECT_EQ(Json::parse(RunCli(With({"read-id", "1", "60"}, With(Port(), {"--json"}))).out)["value"], 2.75);
}

// The line options reach the tty, read back through a descriptor of the test's own (odd and even, one and two stops).
TEST_F(CliCommandsTest, LineOptionsReachThePort) {
    const int watcher = ::open(simulator.PortPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    for (const auto& [parity, stops, odd, twoStops] :
         {std::tuple{"odd", "2", true, true}, {"even", "1", false, false}}) {
        ASSERT_EQ(RunCli(With({"status", "--baud", "19200", "--parity", parity, "--stop-bits", stops}, Port())).code,
                  0);
        termios tio{};
        ASSERT_EQ(tcgetattr(watcher, &tio), 0);
        EXPECT_EQ(std::tuple(cfgetospeed(&tio), (tio.c_cflag & PARODD) != 0, (tio.c_cflag & CSTOPB) != 0),
                  std::tuple(B19200, odd, twoStops));
    }
    ::close(watcher);
}

// Every register read is printed; the 32-bit views only for a pair read whole.
TEST_F(CliCommandsTest, ReadPrintsEveryRegisterRead) {
    const CliRun thirteen = RunCli(With({"read", "30", "13"}, Port()));
    ASSERT_EQ(thirteen.code, 0) << thirteen.err;
    EXPECT_NE(thirteen.out.find("0030: 0x"), std::string::npos);
    EXPECT_NE(thirteen.out.find("003C: 0x"), std::string::npos);
    EXPECT_EQ(thirteen.out.find("003D: "), std::string::npos);
    const Json json = Json::parse(RunCli(With({"read", "30", "--json"}, Port())).out);
    EXPECT_EQ(std::tuple(json["registers"].size(), json.contains("long")), std::tuple(1u, false));
}

// Without a port and an INI file the run stops with how to give one and leaves no file behind; a port that
// cannot be opened, a failed transaction and output that cannot be written fail with the place named.
TEST_F(CliCommandsTest, FailuresSayWhereAndLeaveNoFile) {
    const CliRun run = RunCli({"status"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("no port given: name one with --port"), std::string::npos) << run.err;
    EXPECT_EQ(RunCommand("ls -A " + dir.Path()), "");
    const CliRun missing = RunCli({"status", "--port", "/dev/ttyNOPE"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err.rfind("vexlo-cli: cannot open /dev/ttyNOPE: ", 0), 0u) << missing.err;
    EXPECT_EQ(RunCommand("ls -A " + dir.Path()), "");
    // The console's own mapping of COM1 takes the command line to the instrument too.
    dir.MapPort(1, simulator.PortPath());
    EXPECT_EQ(RunCli({"status", "--station", "7"}).code, 0);
    EXPECT_EQ(RunCommand("ls -A " + dir.Path()), "VexloModbusTester.ini\n");
    const CliRun silent = RunCli({"status", "--port", simulator.PortPath(), "--station", "9"});
    EXPECT_EQ(silent.code, 1);
    EXPECT_EQ(silent.err, "vexlo-cli: no valid answer from station 9 on " + simulator.PortPath() +
                              ": 3 time-outs, 0 CRC errors, 0 exception replies\n");
    int code = 0;
    const std::string full = RunCommand(
        std::string(VEXLO_CLI_BINARY) + " status --port " + simulator.PortPath() + " --station 7 2>&1 >/dev/full",
        &code);
    EXPECT_NE(code, 0);
    EXPECT_EQ(full, "vexlo-cli: cannot write to standard output: No space left on device\n");
    const CliRun csv = RunCli(With({"run", "--program", "1", "--csv", "/dev/full"}, Port()));
    EXPECT_EQ(csv.code, 1);
    EXPECT_EQ(csv.err, "vexlo-cli: cannot write to /dev/full: No space left on device\n");
}

// A bus of two instruments: scan finds exactly them, watch polls each, run gives the verdict.
TEST(CliBusTest, ScanWatchAndRunOnABusOfStations) {
    ScopedWorkDir dir;
    ChildProcess bus(SimulatorCommand({"--station", "3,17", "--speed", "40"}), ChildProcess::Stream::Output);
    const std::string line = bus.FirstLine();
    ASSERT_FALSE(line.empty());
    const Words port{"--port", line};

    // The whole range is the benchmark's: the first twenty stations hold both and many absent ones.
    const CliRun scan = RunCli(With({"scan", "--to", "20", "--json"}, port));
    ASSERT_EQ(scan.code, 0) << scan.err;
    EXPECT_EQ(Json::parse(scan.out)["stations"], Json::parse("[3, 17]"));
    EXPECT_EQ(RunCli(With({"scan", "--from", "2", "--to", "17"}, port)).out, "3\n17\n");
    const CliRun none = RunCli(With({"scan", "--from", "4", "--to", "16"}, port));
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find("no station answered on " + line + " from 4 to 16"), std::string::npos);

    for (const std::string station : {"3", "17"}) {
        const CliRun run = RunCli(With({"run", "--program", station == "3" ? "2" : "1", "--wait", "--json", "--station",
                                        station, "--csv", "runs.csv", "--append"},
                                       port));
        const Json result = Json::parse(run.out);
        EXPECT_EQ(result["station"], std::stoi(station));
        EXPECT_EQ(result["program"], station == "3" ? 2 : 1);
        EXPECT_EQ(run.code, result["verdict"] == "Pass" ? 0 : 3) << run.out << run.err;
        // The printed result is the recorded one: same time (ISO 8601 with its offset), same leak.
        const std::string time = result["time"];
        EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)")))
            << time;
        const std::string csv = ReadWholeFile(dir.File("runs.csv"));
        EXPECT_NE(csv.find(time + "," + station + ","), std::string::npos) << csv;
        EXPECT_NE(csv.find(FormatText(",%.3f,", result["leak"].get<double>())), std::string::npos) << csv;
    }
    const std::string csv = ReadWholeFile(dir.File("runs.csv"));
    EXPECT_EQ(csv.rfind("time,station,program,testType,verdict,goodPart,", 0), 0u);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
    WriteWholeFile(dir.File("other.csv"), "when,what\n");
    const CliRun refused = RunCli(With({"run", "--program", "1", "--csv", "other.csv", "--append"}, port));
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("other.csv has another header"), std::string::npos);

    const CliRun watch = RunCli(With({"watch", "--stations", "17,5,3", "--count", "2", "--interval", "0", "--json",
                                      "--retries", "1", "--timeout", "50"},
                                     port));
    EXPECT_EQ(watch.code, 1);  // station 5 never answered
    std::vector<Json> lines;
    std::istringstream text(watch.out);
    for (std::string line; std::getline(text, line);) lines.push_back(Json::parse(line));
    ASSERT_EQ(lines.size(), 7u) << watch.out;
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(lines[i]["station"], (Json::array({17, 5, 3}))[i % 3]);
        EXPECT_EQ(lines[i]["ok"], lines[i]["station"] != 5);
    }
    EXPECT_EQ(lines[6]["summary"], Json::parse(R"([{"station":17,"polls":2,"answers":2,"failures":0},
        {"station":5,"polls":2,"answers":0,"failures":2},{"station":3,"polls":2,"answers":2,"failures":0}])"));
}

// Unattended cycles: a stop loses nothing and leaves no cycle running; a cycle without progress ends the run.
class CliCycleTest : public ::testing::Test {
protected:
    ScopedWorkDir dir;
    // The instrument's cycle moves only when the test says so.
    SimulatorThread simulator{{1, false}, {}, {}, {}, SimulatorThread::Time::ByHand};
    const std::int64_t firstCycleMs = simulator.Locked()->CycleLengthMs(0);
    // Results are recorded beside the INI file, as on a station set up for production.
    void SetUp() override { WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nStation=1\n"); }
};

// Stopped in its second cycle by a signal or a reader gone (| head): first result kept, second cycle reset.
TEST_F(CliCycleTest, AStopKeepsResultsAndResetsTheInstrument) {
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        ChildProcess cli(CliCommand({"cycle", "--count", "3", "--csv", "results.csv", "--trace", "--port",
                                     simulator.PortPath(), "--station", "1"}),
                         ChildProcess::Stream::Output);
        ASSERT_TRUE(cli.WaitForOutput("Waiting EOC", 30000)) << cli.Piped();
        simulator.AdvanceMs(firstCycleMs + 1);
        ASSERT_TRUE(cli.WaitForOutput("Leak unit", 30000)) << cli.Piped();  // the first result is printed
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
        std::string text(512, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), err));
        EXPECT_EQ(code, 1) << text;
        EXPECT_NE(text.find(message), std::string::npos) << text;
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
