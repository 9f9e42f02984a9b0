#include "tests/cli/CliProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace vexlo::test {
namespace {

// A bound that never decides a verdict: a run that takes this long has hung.
constexpr int kRunLimitMs = 60000;

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

}  // namespace

// Standard error goes to a file, read at the end: only standard output needs reading while it runs.
CliProcess::CliProcess(const std::vector<std::string>& arguments) : errFile(std::tmpfile()) {
    int outPipe[2];
    if (!errFile || pipe(outPipe) != 0) return;
    pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(fileno(errFile), STDERR_FILENO);
        close(outPipe[0]);
        std::vector<std::string> all{VEXLO_CLI_BINARY};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& word : all) argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    outFd = outPipe[0];
}

CliProcess::~CliProcess() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        Wait();
    }
    CloseOutput();
    if (errFile) std::fclose(errFile);
}

void CliProcess::ReadSome(int timeoutMs) {
    pollfd fd{outFd, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return;
    char buffer[4096];
    const ssize_t n = read(outFd, buffer, sizeof buffer);
    if (n <= 0) return CloseOutput();
    out.append(buffer, static_cast<size_t>(n));
}

bool CliProcess::WaitForOutput(const std::string& text, int times, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Count(out, text) < static_cast<size_t>(times)) {
        if (outFd < 0 || std::chrono::steady_clock::now() > end) return false;
        ReadSome(100);
    }
    return true;
}

void CliProcess::CloseOutput() {
    if (outFd >= 0) close(outFd);
    outFd = -1;
}

void CliProcess::Signal(int signal) {
    if (pid > 0) kill(pid, signal);
}

int CliProcess::Wait() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRunLimitMs);
    while (outFd >= 0 && std::chrono::steady_clock::now() < end) ReadSome(100);
    if (pid <= 0) return -1;
    if (std::chrono::steady_clock::now() >= end) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    char buffer[4096];
    std::rewind(errFile);
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, errFile)) > 0;) err.append(buffer, n);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

CliRun RunCli(const std::vector<std::string>& arguments) {
    CliProcess process(arguments);
    const int code = process.Wait();
    return {code, process.Out(), process.Err()};
}

}  // namespace vexlo::test
