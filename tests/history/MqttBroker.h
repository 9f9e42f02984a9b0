#pragma once
// A real mosquitto for the tests that publish results.

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo::test {

// Mosquitto (VEXLO_MOSQUITTO) on a free loopback port; its sessions in a file survive a stop and a start.
class MqttBroker {
public:
    MqttBroker(const ScopedWorkDir& dir, int port) : port(port), log(dir.File("mosquitto.log")) {
        config = dir.File("mosquitto.conf");
        // Started by root, mosquitto would become user "mosquitto" and could not keep its sessions here.
        const passwd* user = getpwuid(geteuid());
        WriteWholeFile(config, "listener " + std::to_string(port) + " 127.0.0.1\nallow_anonymous true\n" +
                                   "persistence true\nlog_dest file " + log + "\nlog_type all\nuser " +
                                   (user ? user->pw_name : "root") + "\npersistence_location " + dir.Path() + "/\n");
    }
    void Start() {
        process = std::make_unique<ChildProcess>(std::vector<std::string>{VEXLO_MOSQUITTO, "-c", config});
        ASSERT_TRUE(WaitForListener(port, 20000)) << "mosquitto did not start on port " << port;
    }
    void Stop() { process.reset(); }
    // How many messages the broker took in from that client, as its log says.
    int PublishesFrom(const std::string& client) const {
        const std::string text = ReadWholeFile(log);
        const std::string line = "Received PUBLISH from " + client + " ";
        int count = 0;
        for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
        return count;
    }

private:
    int port;
    std::string log;
    std::string config;
    std::unique_ptr<ChildProcess> process;
};

}  // namespace vexlo::test
