#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vexlo::test {

// vexlo-cli run as a child process of the test, its standard output on a pipe.
class CliProcess {
public:
    explicit CliProcess(const std::vector<std::string>& arguments);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Reads standard output until the text has appeared `times` times, at most timeoutMs.
    bool WaitForOutput(const std::string& text, int times, int timeoutMs);
    // The reader of standard output goes away, as `| head` does.
    void CloseOutput();
    void Signal(int signal);
    // Reads what is left, gives the exit status (128 + signal when a signal killed it) and fills Err().
    int Wait();
    const std::string& Out() const { return out; }
    const std::string& Err() const { return err; }

private:
    void ReadSome(int timeoutMs);

    pid_t pid = -1;
    int outFd = -1;
    std::FILE* errFile = nullptr;
    std::string out;
    std::string err;
};

struct CliRun {
    int code;
    std::string out;
    std::string err;
};
CliRun RunCli(const std::vector<std::string>& arguments);

}  // namespace vexlo::test
