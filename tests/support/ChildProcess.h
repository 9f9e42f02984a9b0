#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vexlo::test {

// A program run beside the test (vexlo-cli, vexlo-sim, a device server, a relay). One of its output
// streams is on a pipe that the test reads while it runs; the other is kept in a file and read when it
// ends. Stopped with SIGTERM when the object goes.
class ChildProcess {
public:
    enum class Stream { Error, Output };

    explicit ChildProcess(const std::vector<std::string>& argv, Stream piped = Stream::Error);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads the piped stream until the text has appeared `times` times, at most timeoutMs.
    bool WaitForOutput(const std::string& text, int timeoutMs, int times = 1);
    // The first line of the piped stream (vexlo-sim's port path), empty when none came within timeoutMs.
    std::string FirstLine(int timeoutMs = 10000);
    // The reader of the piped stream goes away, as `| head` does.
    void CloseOutput();
    void Signal(int signal);
    // Reads the piped stream to its end (at most a minute: a longer run has hung and is killed), then
    // the exit status, 128 + the signal when one ended it; -1 when it was not running.
    int Wait();
    // Sends SIGTERM and waits.
    int Stop();
    // What the piped stream showed so far, and the kept one once the program has ended.
    const std::string& Piped() const { return piped; }
    const std::string& Kept() const { return kept; }

private:
    void ReadSome(int timeoutMs);

    pid_t pid = -1;
    int pipeFd = -1;
    std::FILE* keptFile = nullptr;
    std::string piped;
    std::string kept;
};

// vexlo-sim with the arguments.
std::vector<std::string> SimulatorCommand(std::vector<std::string> arguments);

// A TCP port of the loopback interface that nothing listens on now.
int FreeTcpPort();
// Waits until something accepts connections on the loopback port, at most timeoutMs.
bool WaitForListener(int port, int timeoutMs);
// Runs a command line through the shell and returns what it printed on standard output.
std::string RunCommand(const std::string& command, int* exitStatus = nullptr);

}  // namespace vexlo::test
