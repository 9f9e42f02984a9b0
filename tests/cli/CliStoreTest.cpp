// vexlo-cli's store beside the INI file: one row per tested part, listed by history, published to mosquitto.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <tuple>

#include "history/SpcReport.h"
#include "simulator/harness/SimulatorThread.h"
#include "tests/cli/RunCli.h"
#include "tests/history/MqttBroker.h"
#include "tests/support/ScopedWorkDir.h"

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
    Json History(Words words = {}) {
        words.insert(words.begin(), {"history", "--json"});
        const CliRun run = RunCli(words);
        EXPECT_EQ(run.code, 0) << run.err;
        return Json::parse(run.out)["results"];
    }
};

TEST_F(CliStoreTest, OneRowPerTestedPartWithItsPartIdAndOperator) {
    WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nStation=7\n");
    const struct {
        Words command;
        bool cycleFirst;
        bool newPart;
    } steps[] = {
        {{"last-result"}, true, true},
        {{"last-result"}, false, false},  // the same part read again
        {{"fifo"}, false, false},         // the FIFO after the last result: that part again
        {{"last-result", "--part", "SN-42", "--operator", "Ann"}, true, true},
    };
    for (const auto& step : steps) {
        if (step.cycleFirst) RunCycle();
        const CliRun run = Device(step.command);
        ASSERT_EQ(run.code, 0) << step.command[0] << run.err;
        const Json result = Json::parse(run.out);
        EXPECT_EQ(result["saved"], true);
        EXPECT_EQ(result["newPart"], step.newPart) << step.command[0];
    }
    const Json rows = History();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::tuple(rows[0]["partId"], rows[1]["partId"], rows[1]["operator"]), std::tuple("", "SN-42", "Ann"));
    EXPECT_EQ(History({"--since", "2999-01-01T00:00Z"}).size(), 0u);
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

// A broker away keeps the result in the outbox (publish: exit 1 naming it); once back, it is delivered once.
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

// spc and gauge on a values file: the figures of those values with the limits given on the command line.
TEST_F(CliStoreTest, SpcAndGaugeOfAValuesFile) {
    WriteWholeFile(dir.File("leaks.txt"), "1\n\n 2 \n4\n");
    std::string master;
    for (int i = 0; i < 25; ++i) master += i % 2 ? "5.01\n" : "4.99\n";
    WriteWholeFile(dir.File("master.txt"), master);
    std::pair<Words, Json> cases[] = {
        {{"spc", "--values", "leaks.txt", "--usl", "10"}, SpcJson(MakeSpcReport({1, 2, 4}, 10, std::nullopt))},
        {{"gauge", "--reference", "5", "--tolerance", "2", "--values", "master.txt"},
         GaugeJson(StudyGauge(ReadSpcValuesFile(dir.File("master.txt")).values, 5, 2))},
    };
    for (auto& [words, expected] : cases) {
        words.push_back("--json");
        const CliRun run = RunCli(words);
        ASSERT_EQ(run.code, 0) << run.err;
        const Json printed = Json::parse(run.out);
        expected = Json::parse(expected.dump());
        expected.update(Json{{"command", words[0]}, {"ok", true}, {"messages", printed["messages"]}});
        EXPECT_EQ(printed, expected);
    }
}

// gauge --count: cycles of one program into a batch of their own, then the study (too few values: exit 1).
TEST_F(CliStoreTest, GaugeRunsCyclesOfOneProgramIntoItsOwnBatch) {
    WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nStation=7\n");
    ChildProcess cli(CliCommand({"gauge", "--reference", "5", "--tolerance", "2", "--count", "2", "--program", "2",
                                 "--trace", "--port", simulator.PortPath(), "--station", "7"}),
                     ChildProcess::Stream::Output);
    for (int cycle = 1; cycle <= 2; ++cycle) {
        ASSERT_TRUE(cli.WaitForOutput("Waiting EOC", 30000, cycle)) << cli.Piped();
        simulator.AdvanceMs(simulator.Locked()->CycleLengthMs(1) + 1);
        ASSERT_TRUE(cli.WaitForOutput("Leak unit", 30000, cycle)) << cli.Piped();
    }
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_NE(cli.Kept().find("at least 25 values"), std::string::npos) << cli.Kept();
    const Json rows = History({"--batch", "2"});
    ASSERT_EQ(rows.size(), 2u);
    for (const Json& row : rows) EXPECT_EQ(std::tuple(row["program"], row["source"]), std::tuple(2, "sequencer"));
    EXPECT_EQ(History({"--batch", "3"}).size(), 0u);
}

}  // namespace
}  // namespace vexlo::test
