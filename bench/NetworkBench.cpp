// A status read through serial device servers against the same read on the pseudo-terminal itself,
// in one run: stock ser2net in its default configuration speaking RFC 2217, and socat in raw mode.
// Each path has its own simulated instrument, paced at the line's rate as a real line would be: 9600
// baud ("Serial.cfg"'s default) and 19200 baud, where the servers' own delays weigh twice as much.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "modbus/ModbusRtuMaster.h"
#include "serial/PortNameResolver.h"
#include "simulator/harness/SimulatorThread.h"

extern char** environ;

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReads = 200;

// A device server run beside the benchmark, stopped when it goes.
class Server {
public:
    explicit Server(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (auto& arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) pid = -1;
    }
    ~Server() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }

private:
    pid_t pid = -1;
};

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool WaitForListener(int port) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (up) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Median milliseconds of the status reads done so far on each path, for the summary.
std::map<std::string, double>& Medians() {
    static std::map<std::string, double> medians;
    return medians;
}

// Status reads through the port mapped to the address; the 20 ms gap between transactions is waited
// before the clock starts.
void MeasureStatusReads(benchmark::State& state, const std::string& path, const std::string& address) {
    const std::string name = path + "/" + std::to_string(state.range(0));
    const auto directory = std::filesystem::temp_directory_path() / ("vexlo-netbench-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    std::filesystem::current_path(directory);
    SetPortMappings({{1, address}});
    std::vector<double> times;
    {
        ModbusRtuMaster master;
        master.SelectStation(1);
        master.linkEnabled = true;
        if (!master.Open()) {
            state.SkipWithError(("cannot open " + address).c_str());
            return;
        }
        std::uint8_t status[26];
        for (auto _ : state) {
            ModbusRtuMaster::WaitForGap();
            const auto start = Clock::now();
            const int ok = master.ReadRegisters(0x0030, 13, status);
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            state.SetIterationTime(ms / 1e3);
            if (!ok) {
                state.SkipWithError("status read failed");
                break;
            }
            times.push_back(ms);
        }
    }
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(directory);
    std::sort(times.begin(), times.end());
    const double median = times.empty() ? 0 : times[times.size() / 2];
    Medians()[name] = median;
    state.counters["median_ms"] = median;
    const std::string direct = "direct/" + std::to_string(state.range(0));
    if (Medians().count(direct) && Medians()[direct] > 0) {
        state.counters["vs_direct_percent"] = 100.0 * median / Medians()[direct];
    }
}

void BM_StatusReadDirect(benchmark::State& state) {
    test::SimulatorThread instrument({1, false}, {}, {}, {static_cast<std::uint32_t>(state.range(0)), 0});
    MeasureStatusReads(state, "direct", instrument.PortPath());
}

void BM_StatusReadSer2netDefault(benchmark::State& state) {
    test::SimulatorThread instrument({1, false}, {}, {}, {static_cast<std::uint32_t>(state.range(0)), 0});
    const int port = FreePort();
    const auto config =
        std::filesystem::temp_directory_path() / ("vexlo-ser2net-" + std::to_string(getpid()) + ".yaml");
    std::ofstream(config) << "%YAML 1.1\n---\nconnection: &instrument\n  accepter: telnet(rfc2217),tcp,127.0.0.1,"
                          << port << "\n  enable: on\n  connector: serialdev," << instrument.PortPath() << ","
                          << state.range(0) << "n81,local\n";
    Server server({"/usr/sbin/ser2net", "-n", "-d", "-c", config.string()});
    if (!WaitForListener(port)) {
        state.SkipWithError("ser2net did not start");
        return;
    }
    MeasureStatusReads(state, "ser2net", "rfc2217://127.0.0.1:" + std::to_string(port));
    std::filesystem::remove(config);
}

void BM_StatusReadSocatRaw(benchmark::State& state) {
    test::SimulatorThread instrument({1, false}, {}, {}, {static_cast<std::uint32_t>(state.range(0)), 0});
    const int port = FreePort();
    // A child for each connection: the check that it listens takes one, the benchmark the next.
    Server server({"/usr/bin/socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                   "FILE:" + instrument.PortPath() + ",raw,echo=0"});
    if (!WaitForListener(port)) {
        state.SkipWithError("socat did not start");
        return;
    }
    MeasureStatusReads(state, "socat", "tcp://127.0.0.1:" + std::to_string(port));
}

BENCHMARK(BM_StatusReadDirect)
    ->Arg(9600)
    ->Arg(19200)
    ->Iterations(kReads)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusReadSer2netDefault)
    ->Arg(9600)
    ->Arg(19200)
    ->Iterations(kReads)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusReadSocatRaw)
    ->Arg(9600)
    ->Arg(19200)
    ->Iterations(kReads)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexlo

BENCHMARK_MAIN();
