#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace vexlo::test {

// vexlo-sim started as its own process; stopped with SIGTERM when the object goes.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::vector<std::string>& arguments);
    ~SimulatorProcess();
    // The port path the simulator printed on its first line (empty when it did not start).
    const std::string& PortPath() const { return portPath; }
    // Sends SIGTERM and waits; returns the exit status.
    int Stop();

private:
    pid_t pid = -1;
    std::string portPath;
};

// Runs a command line through the shell and returns what it printed on standard output.
std::string RunCommand(const std::string& command, int* exitStatus = nullptr);

std::string SimulatorBinary();

}  // namespace vexlo::test
