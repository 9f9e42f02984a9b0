#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vexlo::test {

// A program run beside the test (vexlo-sim, a device server, a relay); one of its output streams is
// kept so that the test can wait for the line that says it is ready. Stopped with SIGTERM when the
// object goes.
class ChildProcess {
public:
    enum class Stream { Error, Output };

    explicit ChildProcess(const std::vector<std::string>& argv, Stream kept = Stream::Error);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits until the stream has shown the text, at most timeoutMs; false when it never did.
    bool WaitForOutput(const std::string& text, int timeoutMs);
    // The first line of the stream (vexlo-sim's port path), empty when none came within timeoutMs.
    std::string FirstLine(int timeoutMs = 10000);
    // Sends SIGTERM and waits; the wait status (-1 when it was not running).
    int Stop();

private:
    pid_t pid = -1;
    int pipeFd = -1;
    std::string output;
};

// vexlo-sim with the arguments, its standard output kept.
std::vector<std::string> SimulatorCommand(std::vector<std::string> arguments);

// A TCP port of the loopback interface that nothing listens on now.
int FreeTcpPort();
// Waits until something accepts connections on the loopback port, at most timeoutMs.
bool WaitForListener(int port, int timeoutMs);
// Runs a command line through the shell and returns what it printed on standard output.
std::string RunCommand(const std::string& command, int* exitStatus = nullptr);

}  // namespace vexlo::test
