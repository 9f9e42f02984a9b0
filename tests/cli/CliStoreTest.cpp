// vexlo-cli records what it reads in the store beside the INI file: one row per tested part, the
// part id and operator with it, listed by history and published through a real mosquitto.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/CliProcess.h"
#include "tests/history/MqttBroker.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorThread.h"

namespace vexlo::test {
namespace {

using Json = nlohmann::json;
using Words = std::vector<std::string>;

class CliStoreTest : public ::testing::Test {
protected:
    ScopedWorkDir dir;
    SimulatorThread simulator{{7, false}, {}, {}, {}, SimulatorThread::Time::ByHand};

    CliRun Device(Words words) {
        words.insert(words.end(), {"--port", simulator.PortPath(), "--station", "7", "--json"});
        return RunCli(words);
    }
    // One cycle of program 1, started by the command line and run to its end on the instrument's time.
    void RunCycle() {
        ASSERT_EQ(Device({"start"}).code, 0);
        simulator.AdvanceMs(simulator.Locked()->CycleLengthMs(0) + 1);
    }
    Json History(const Words& more = {}) {
        Words words = {"history", "--json"};
        words.insert(words.end(), more.begin(), more.end());
        const CliRun run = RunCli(words);
        EXPECT_EQ(run.code, 0) << run.err;
        return Json::parse(run.out)["results"];
    }
};

TEST_F(CliStoreTest, OneRowPerTestedPartWithItsPartIdAndOperator) {
    WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nStation=7\n");
    struct Step {
        Words command;
        bool cycleFirst;
        bool newPart;
        size_t rows;
    };
    const Step steps[] = {
        {{"last-result"}, true, true, 1},
        {{"last-result"}, false, false, 1},  // the same part read again
        {{"fifo"}, false, false, 1},         // the FIFO after the last result: that part again
        {{"last-result", "--part", "SN-42", "--operator", "Ann"}, true, true, 2},
    };
    for (const Step& step : steps) {
        if (step.cycleFirst) RunCycle();
        const CliRun run = Device(step.command);
        ASSERT_EQ(run.code, 0) << step.command[0] << run.err;
        const Json result = Json::parse(run.out);
        EXPECT_EQ(result["saved"], true);
        EXPECT_EQ(result["newPart"], step.newPart) << step.command[0];
        EXPECT_EQ(History().size(), step.rows) << step.command[0];
    }
    const Json rows = History();
    EXPECT_EQ(rows[0]["partId"], "");
    EXPECT_EQ(rows[1]["partId"], "SN-42");
    EXPECT_EQ(rows[1]["operator"], "Ann");
    EXPECT_EQ(History({"--since", "2999-01-01T00:00Z"}).size(), 0u);
}

// Refused before anything opens, exit 2, naming what is refused; nothing printed.
TEST_F(CliStoreTest, BadLinesAreRefused) {
    WriteWholeFile(dir.File("VexloModbusTester.ini"), "");
    WriteWholeFile(dir.File("bad.txt"), "1.5\n2,5\n");
    const std::pair<Words, std::string> refusals[] = {
        {{"history", "--since", "2026-12-07 25:00"}, "--since"},
        {{"history", "--since", "yesterday"}, "--since"},
        {{"history", "--port", "/dev/ttyS0"}, "--port: does not apply to history"},
        {{"history", "--csv", "--json"}, "--csv"},
        {{"status", "--part", "SN-1"}, "--part"},
        {{"run", "--program", "1", "--operator", "Ann"}, "--wait"},
        {{"spc", "--values", "bad.txt"}, "bad.txt, line 2"},
        {{"gauge", "--reference", "5", "--tolerance", "2", "--values", "bad.txt"}, "line 2"},
        {{"spc", "--values", "bad.txt", "--usl", "2,5"}, "--usl"},
        {{"spc"}, "--values FILE or --program P"},
        {{"gauge", "--reference", "5", "--tolerance", "0", "--values", "bad.txt"}, "--tolerance"},
        {{"gauge", "--reference", "5", "--tolerance", "2", "--program", "2", "--values", "bad.txt"}, "--count"},
    };
    for (const auto& [words, message] : refusals) {
        const CliRun run = RunCli(words);
        EXPECT_EQ(run.code, 2) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << message;
    }
    EXPECT_FALSE(std::ifstream(dir.File("VexloModbusTester.db")).good()) << "no store made";
}

TEST_F(CliStoreTest, NoIniFileNoStore) {
    RunCycle();
    const CliRun run = Device({"last-result"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Json::parse(run.out)["saved"], false);
    EXPECT_NE(run.err.find("results are not stored"), std::string::npos) << run.err;
    EXPECT_EQ(Device({"last-result", "--part", "SN-1"}).code, 2);
    EXPECT_EQ(RunCommand("ls -A " + dir.Path()), "");
}

// A broker that is away keeps the result in the outbox (publish: exit 1 naming the broker); once it
// is back, publish delivers it, once.
TEST_F(CliStoreTest, PublishDeliversWhatWaitsOnce) {
    const int port = FreeTcpPort();
    const std::string broker = "mqtt://127.0.0.1:" + std::to_string(port);
    WriteWholeFile(dir.File("VexloModbusTester.ini"),
                   "[Modbus]\nStation=7\n[Publish]\nBroker=" + broker + "\nTopic=plant/line4\nClientId=station-7\n");
    RunCycle();
    const CliRun recorded = Device({"last-result"});
    EXPECT_EQ(recorded.code, 0) << recorded.err;
    EXPECT_NE(recorded.err.find(broker), std::string::npos) << recorded.err;
    const CliRun away = RunCli({"publish"});
    EXPECT_EQ(away.code, 1);
    EXPECT_NE(away.err.find(broker), std::string::npos) << away.err;

    MqttBroker mosquitto(dir, port);
    mosquitto.Start();
    // Line-buffered, so that its "received SUBACK" comes through the pipe at once.
    ChildProcess plant({"stdbuf", "-oL", "mosquitto_sub", "-d", "-q", "1", "-h", "127.0.0.1", "-p",
                        std::to_string(port), "-t", "plant/line4"},
                       ChildProcess::Stream::Output);
    ASSERT_TRUE(plant.WaitForOutput("SUBACK", 20000));
    for (const int published : {1, 0}) {
        const CliRun run = RunCli({"publish", "--json"});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Json::parse(run.out)["published"], published);
    }
    EXPECT_TRUE(plant.WaitForOutput("\"partId\":\"\"", 20000));
    EXPECT_EQ(mosquitto.PublishesFrom("station-7"), 1);
}

// spc and gauge on a values file: the JSON keys, full precision, what does not apply left out.
TEST_F(CliStoreTest, SpcAndGaugeOfAValuesFile) {
    // 1, 2, 4: mean 7/3, moving ranges 1 and 2, sigma within 1.5 / 1.128; with USL 10 only Cpk and Ppk.
    WriteWholeFile(dir.File("leaks.txt"), "1\n\n 2 \n4\n");
    const CliRun spc = RunCli({"spc", "--values", "leaks.txt", "--usl", "10", "--json"});
    ASSERT_EQ(spc.code, 0) << spc.err;
    const Json report = Json::parse(spc.out);
    const double sigmaWithin = 1.5 / 1.128;
    EXPECT_DOUBLE_EQ(report["mean"].get<double>(), 7.0 / 3);
    EXPECT_DOUBLE_EQ(report["ucl"].get<double>(), 7.0 / 3 + 3 * sigmaWithin);
    EXPECT_DOUBLE_EQ(report["cpk"].get<double>(), (10 - 7.0 / 3) / (3 * sigmaWithin));
    for (const char* absent : {"cp", "pp", "cpkLower95", "cpkUpper95"}) EXPECT_FALSE(report.contains(absent)) << absent;
    EXPECT_EQ(report["flags"], Json::array());

    // 25 readings of a master part of 5.0 within 0.01: Cg and Cgk far above 1.33.
    std::string master;
    for (int i = 0; i < 25; ++i) master += i % 2 ? "5.01\n" : "4.99\n";
    WriteWholeFile(dir.File("master.txt"), master);
    const CliRun gauge = RunCli({"gauge", "--reference", "5", "--tolerance", "2", "--values", "master.txt", "--json"});
    ASSERT_EQ(gauge.code, 0) << gauge.err;
    const Json study = Json::parse(gauge.out);
    EXPECT_EQ(study["passed"], true);
    for (const char* key : {"n", "mean", "stdDev", "bias", "cg", "cgk"}) EXPECT_TRUE(study.contains(key)) << key;
}

// gauge --count: N cycles of one program through the sequencer, recorded in a batch of their own,
// then the study (too few values here: it does not pass, exit 1).
TEST_F(CliStoreTest, GaugeRunsCyclesOfOneProgramIntoItsOwnBatch) {
    WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nStation=7\n");
    CliProcess cli({"gauge", "--reference", "5", "--tolerance", "2", "--count", "2", "--program", "2", "--trace",
                    "--port", simulator.PortPath(), "--station", "7"});
    for (int cycle = 1; cycle <= 2; ++cycle) {
        ASSERT_TRUE(cli.WaitForOutput("Waiting EOC", cycle, 30000)) << cli.Out() << cli.Err();
        simulator.AdvanceMs(simulator.Locked()->CycleLengthMs(1) + 1);
        ASSERT_TRUE(cli.WaitForOutput("Leak unit", cycle, 30000)) << cli.Out() << cli.Err();
    }
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_NE(cli.Err().find("at least 25 values"), std::string::npos) << cli.Err();
    const Json rows = History({"--batch", "2"});
    ASSERT_EQ(rows.size(), 2u);
    for (const Json& row : rows) {
        EXPECT_EQ(row["program"], 2);
        EXPECT_EQ(row["source"], "sequencer");
    }
    EXPECT_EQ(History({"--batch", "3"}).size(), 0u);
}

}  // namespace
}  // namespace vexlo::test
