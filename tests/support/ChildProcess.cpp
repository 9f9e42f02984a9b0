#include "tests/support/ChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace vexlo::test {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, Stream pipedStream) : keptFile(std::tmpfile()) {
    int fds[2];
    if (!keptFile || pipe(fds) != 0) return;
    pid = fork();
    if (pid == 0) {
        const bool outputPiped = pipedStream == Stream::Output;
        dup2(fds[1], outputPiped ? STDOUT_FILENO : STDERR_FILENO);
        dup2(fileno(keptFile), outputPiped ? STDERR_FILENO : STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<std::string> copy = argv;
        std::vector<char*> args;
        for (auto& a : copy) args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    pipeFd = fds[0];
}

ChildProcess::~ChildProcess() {
    Stop();
    if (keptFile) std::fclose(keptFile);
}

void ChildProcess::ReadSome(int timeoutMs) {
    pollfd p{pipeFd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return;
    char buffer[4096];
    const ssize_t n = read(pipeFd, buffer, sizeof buffer);
    if (n <= 0) return CloseOutput();
    piped.append(buffer, static_cast<size_t>(n));
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs, int times) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto count = [&] {
        int found = 0;
        for (size_t at = piped.find(text); at != std::string::npos; at = piped.find(text, at + text.size())) ++found;
        return found;
    };
    while (count() < times) {
        if (pipeFd < 0 || Clock::now() > deadline) return false;
        ReadSome(100);
    }
    return true;
}

std::string ChildProcess::FirstLine(int timeoutMs) {
    if (!WaitForOutput("\n", timeoutMs)) return {};
    return piped.substr(0, piped.find('\n'));
}

void ChildProcess::CloseOutput() {
    if (pipeFd >= 0) close(pipeFd);
    pipeFd = -1;
}

void ChildProcess::Signal(int signal) {
    if (pid > 0) kill(pid, signal);
}

int ChildProcess::Wait() {
    const auto deadline = Clock::now() + std::chrono::minutes(1);
    while (pipeFd >= 0 && pid > 0 && Clock::now() < deadline) ReadSome(100);
    CloseOutput();
    if (pid <= 0) return -1;
    if (Clock::now() >= deadline) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    char buffer[4096];
    std::rewind(keptFile);
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, keptFile)) > 0;) kept.append(buffer, n);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int ChildProcess::Stop() {
    Signal(SIGTERM);
    return Wait();
}

std::vector<std::string> SimulatorCommand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), VEXLO_SIM_BINARY);
    return arguments;
}

int FreeTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool WaitForListener(int port, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = Loopback(port);
        const bool listening = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (listening) return true;
        pollfd none{-1, 0, 0};
        poll(&none, 0, 20);
    }
    return false;
}

std::string RunCommand(const std::string& command, int* exitStatus) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[512];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    if (exitStatus) *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

}  // namespace vexlo::test
