// vexlo-cli scan of stations 1 to 247 on the simulated line at 19200 baud, 8E1, replies paced at the
// line's rate, two instruments present (3 and 17). Target: under 12 s, and only those two reported.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

// vexlo-sim in its own process; its first line is the port path.
class BusProcess {
public:
    BusProcess() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            execl(VEXLO_SIM_BINARY, VEXLO_SIM_BINARY, "--station", "3,17", "--baud", "19200", nullptr);
            _exit(127);
        }
        close(fds[1]);
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') path += c;
        close(fds[0]);
    }
    ~BusProcess() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    const std::string& Path() const { return path; }

private:
    pid_t pid = -1;
    std::string path;
};

void BM_ScanWholeLine(benchmark::State& state) {
    BusProcess bus;
    if (bus.Path().empty()) {
        state.SkipWithError("vexlo-sim did not start");
        return;
    }
    const std::string command = std::string(VEXLO_CLI_BINARY) + " scan --from 1 --to 247 --baud 19200 --parity even" +
                                " --data-bits 8 --stop-bits 1 --port " + bus.Path();
    double seconds = 0;
    std::string found;
    for (auto _ : state) {
        found.clear();
        const auto start = std::chrono::steady_clock::now();
        std::FILE* scan = popen(command.c_str(), "r");
        char line[64];
        while (scan != nullptr && std::fgets(line, sizeof line, scan) != nullptr) found += line;
        const int status = scan != nullptr ? pclose(scan) : -1;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 0) state.SkipWithError("the scan failed");
    }
    state.counters["scan_s"] = seconds;
    state.counters["found_exactly_3_and_17"] = found == "3\n17\n" ? 1 : 0;
}
BENCHMARK(BM_ScanWholeLine)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
