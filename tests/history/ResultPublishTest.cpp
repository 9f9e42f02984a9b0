#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "history/ResultPublisher.h"
#include "history/ResultRecorder.h"
#include "tests/history/MqttBroker.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Records.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

// A plant system: mosquitto_sub in a lasting QoS 1 session, reconnecting by itself, one message a line.
std::vector<std::string> PlantCommand(int port, const std::string& topic) {
    return {"stdbuf",    "-oL", "mosquitto_sub",      "-d", "-c", "-i", "plant-system", "-q", "1", "-h",
            "127.0.0.1", "-p",  std::to_string(port), "-t", topic};
}

// The store ids received, each once: QoS 1 may hand a message over again after a restart.
std::vector<int> ReceivedIds(const std::string& output) {
    std::vector<int> ids;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != '{') continue;
        const int id = nlohmann::json::parse(line)["id"];
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    return ids;
}

TEST(ResultPublishTest, EveryResultArrivesOnceInOrderAcrossABrokerRestart) {
    test::ScopedWorkDir dir;
    const int port = test::FreeTcpPort();
    test::WriteWholeFile(dir.File("VexloModbusTester.ini"),
                         "[Publish]\nBroker=mqtt://127.0.0.1:" + std::to_string(port) + "\nClientId=station-7\n");
    std::string error;
    const auto settings = ReadPublishSettings(dir.File("VexloModbusTester.ini"), 7, error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->topic, "vexlo/7/results");

    test::MqttBroker broker(dir, port);
    broker.Start();
    test::ChildProcess plant(PlantCommand(port, settings->topic), test::ChildProcess::Stream::Output);
    ASSERT_TRUE(plant.WaitForOutput("SUBACK", 30000));

    ResultHistory shown;
    auto recorder = std::make_unique<ResultRecorder>(shown);
    ResultContext line{"COM1", 7, std::nullopt, "", ""};
    ASSERT_EQ(recorder->Open(dir.File(ResultStore::kFileName), &*settings), std::nullopt);
    std::int64_t now = 1;
    const auto cycle = [&](std::int32_t leak) {
        const ResultRecord result = test::MakeResult({.leak = leak});
        (void)recorder->EndOfCycleSeen("COM1", 7, ++now);
        EXPECT_TRUE(recorder->Record(result, ResultSource::Sequencer, line, ++now).saved);
        // The same part read again is no new message.
        EXPECT_FALSE(recorder->Record(result, ResultSource::LastResult, line, ++now).newPart);
    };
    for (int leak = 1; leak <= 3; ++leak) cycle(leak);
    ASSERT_TRUE(plant.WaitForOutput("\"id\":3", 30000)) << plant.Piped();

    broker.Stop();
    for (int leak = 4; leak <= 6; ++leak) cycle(leak);
    EXPECT_EQ(recorder->Store().PendingCount(), 3);
    EXPECT_FALSE(DeliverPending(dir.File(ResultStore::kFileName), *settings, 2000, error));
    EXPECT_NE(error.find("mqtt://127.0.0.1:" + std::to_string(port)), std::string::npos) << error;

    broker.Start();
    ASSERT_TRUE(plant.WaitForOutput("\"id\":6", 30000)) << plant.Piped();
    EXPECT_EQ(ReceivedIds(plant.Piped()), (std::vector<int>{1, 2, 3, 4, 5, 6}));

    // A result left in the outbox by a program that stopped goes out with the next delivery.
    broker.Stop();
    cycle(7);
    recorder.reset();
    ResultStore other;
    ASSERT_EQ(other.Open(dir.File(ResultStore::kFileName)), std::nullopt);
    EXPECT_EQ(other.PendingCount(), 1);
    broker.Start();
    EXPECT_TRUE(DeliverPending(dir.File(ResultStore::kFileName), *settings, 20000, error)) << error;
    EXPECT_EQ(other.PendingCount(), 0);
    ASSERT_TRUE(plant.WaitForOutput("\"id\":7", 30000)) << plant.Piped();
    EXPECT_EQ(ReceivedIds(plant.Piped()), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    // Each result went to the broker once: no message was sent again after it was acknowledged.
    EXPECT_EQ(broker.PublishesFrom("station-7"), 7);
}

TEST(ResultPublishTest, PublishSettingsAreCheckedStrictly) {
    test::ScopedWorkDir dir;
    const std::string ini = dir.File("VexloModbusTester.ini");
    std::string error;
    test::WriteWholeFile(ini, "[Publish]\nTopic=plant/line4\n");
    const auto none = ReadPublishSettings(ini, 3, error);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->Enabled());
    for (const char* broker :
         {"tcp://host:1883", "mqtt://host", "mqtt://host:0", "mqtt://host:70000", "mqtt://host:18x3", "mqtt://:1883"}) {
        test::WriteWholeFile(ini, std::string("[Publish]\nBroker=") + broker + "\n");
        error.clear();
        EXPECT_FALSE(ReadPublishSettings(ini, 3, error)) << broker;
        EXPECT_NE(error.find(broker), std::string::npos) << error;
    }
    test::WriteWholeFile(ini, "[publish]\nbroker=mqtt://plant-broker:8883\nTopic=plant/line4\n");
    const auto set = ReadPublishSettings(ini, 3, error);
    ASSERT_TRUE(set);
    EXPECT_EQ(std::tuple(set->host, set->port, set->topic), std::tuple("plant-broker", 8883, "plant/line4"));
}

}  // namespace
}  // namespace vexlo
