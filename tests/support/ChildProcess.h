#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vexlo::test {

// A program run beside the test (a device server, a relay); its standard error is kept so that the
// test can wait for the line that says it is ready. Stopped with SIGTERM when the object goes.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits until standard error has shown the text, at most timeoutMs; false when it never did.
    bool WaitForOutput(const std::string& text, int timeoutMs);
    void Stop();

private:
    pid_t pid = -1;
    int errorPipe = -1;
    std::string output;
};

// A TCP port of the loopback interface that nothing listens on now.
int FreeTcpPort();
// Waits until something accepts connections on the loopback port, at most timeoutMs.
bool WaitForListener(int port, int timeoutMs);

}  // namespace vexlo::test
