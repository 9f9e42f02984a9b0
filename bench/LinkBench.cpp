// Speed of the link: how soon a transaction returns after the last reply byte, how long the silent
// gap between two transactions really is, and what the gap costs in CPU time.
#include <benchmark/benchmark.h>
#include <modbus.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "modbus/Crc16.h"
#include "modbus/ModbusRtuMaster.h"
#include "serial/PortNameResolver.h"
#include "serial/PortTable.h"
#include "serial/SerialDevice.h"
#include "simulator/PseudoTerminal.h"
#include "simulator/harness/SimulatorThread.h"

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Answers every 8-byte read request at once with a one-register reply and notes when its last byte
// left.
class InstantResponder {
public:
    InstantResponder() : worker([this] { Run(); }) {}
    ~InstantResponder() {
        stopping = true;
        worker.join();
    }
    const std::string& Path() const { return pty.SlavePath(); }
    std::atomic<std::int64_t> lastReplySentNs{0};

private:
    void Run() {
        std::uint8_t reply[7] = {0x01, 0x03, 0x02, 0x34, 0x12, 0, 0};
        const std::uint16_t crc = Crc16(reply, 5);
        reply[5] = static_cast<std::uint8_t>(crc & 0xFF);
        reply[6] = static_cast<std::uint8_t>(crc >> 8);
        std::vector<std::uint8_t> pending;
        while (!stopping) {
            pollfd p{pty.MasterFd(), POLLIN, 0};
            if (poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) continue;
            std::uint8_t buffer[64];
            const ssize_t n = read(pty.MasterFd(), buffer, sizeof buffer);
            if (n <= 0) continue;
            pending.insert(pending.end(), buffer, buffer + n);
            while (pending.size() >= 8) {
                pending.erase(pending.begin(), pending.begin() + 8);
                (void)write(pty.MasterFd(), reply, sizeof reply);
                lastReplySentNs = Clock::now().time_since_epoch().count();
            }
        }
    }
    PseudoTerminal pty;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

// The platform device with the moment of every write and of the end of every read noted.
class TimedDevice final : public SerialDevice {
public:
    TimedDevice(std::unique_ptr<SerialDevice> inner, std::vector<Clock::time_point>* writes,
                std::vector<Clock::time_point>* readEnds)
        : inner(std::move(inner)), writes(writes), readEnds(readEnds) {}
    bool Configure(const PortSettings& s, const SerialTimeouts& t) override { return inner->Configure(s, t); }
    void Purge() override { inner->Purge(); }
    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        writes->push_back(Clock::now());
        return inner->Write(data, count, written);
    }
    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        const bool ok = inner->Read(buffer, count, received);
        readEnds->push_back(Clock::now());
        return ok;
    }

private:
    std::unique_ptr<SerialDevice> inner;
    std::vector<Clock::time_point>* writes;
    std::vector<Clock::time_point>* readEnds;
};

struct BenchLink {
    BenchLink() {
        directory = std::filesystem::temp_directory_path() / ("vexlo-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
        std::filesystem::current_path(directory);
        SetPortMappings({{1, responder.Path()}});
        SetSerialDeviceOpener([this](const std::string& name, std::string* error) -> std::unique_ptr<SerialDevice> {
            auto device = OpenPlatformSerialDevice(name, error);
            if (!device) return device;
            return std::make_unique<TimedDevice>(std::move(device), &writes, &readEnds);
        });
        // Built only now, inside the scratch directory, so that "Serial.cfg" lands there.
        master = std::make_unique<ModbusRtuMaster>();
        master->SelectStation(1);
        master->linkEnabled = true;
        master->Open();
    }
    ~BenchLink() {
        master.reset();
        SetSerialDeviceOpener(nullptr);
        std::filesystem::remove_all(directory);
    }
    InstantResponder responder;
    std::vector<Clock::time_point> writes;
    std::vector<Clock::time_point> readEnds;
    std::filesystem::path directory;
    std::unique_ptr<ModbusRtuMaster> master;
};

void BM_ReplyToReturn(benchmark::State& state) {
    BenchLink link;
    std::uint8_t data[8];
    std::vector<double> latencyUs;
    std::vector<double> gapMs;
    for (auto _ : state) {
        const std::size_t writesBefore = link.writes.size();
        const std::size_t readsBefore = link.readEnds.size();
        const int ok = link.master->ReadRegisters(0x2301, 1, data);
        const auto returned = Clock::now();
        if (!ok) {
            state.SkipWithError("transaction failed");
            break;
        }
        latencyUs.push_back(static_cast<double>(returned.time_since_epoch().count() - link.responder.lastReplySentNs) /
                            1e3);
        // The silence on the line: from the end of the previous reply to the start of this request.
        if (readsBefore > 0 && link.writes.size() > writesBefore) {
            gapMs.push_back(
                std::chrono::duration<double, std::milli>(link.writes[writesBefore] - link.readEnds[readsBefore - 1])
                    .count());
        }
    }
    state.counters["reply_to_return_median_us"] = Median(latencyUs);
    state.counters["gap_median_ms"] = Median(gapMs);
    state.counters["gap_max_ms"] = gapMs.empty() ? 0 : *std::max_element(gapMs.begin(), gapMs.end());
    state.counters["gap_min_ms"] = gapMs.empty() ? 0 : *std::min_element(gapMs.begin(), gapMs.end());
    const auto late = std::count_if(gapMs.begin(), gapMs.end(), [](double gap) { return gap > 20.5; });
    state.counters["gap_over_20_5ms_percent"] =
        gapMs.empty() ? 0 : 100.0 * static_cast<double>(late) / static_cast<double>(gapMs.size());
}
BENCHMARK(BM_ReplyToReturn)->Iterations(150)->Unit(benchmark::kMillisecond);

void BM_GapWaitCpu(benchmark::State& state) {
    std::vector<double> wallMs;
    std::vector<double> cpuShare;
    for (auto _ : state) {
        ModbusRtuMaster::GapTimer().Arm(ModbusRtuMaster::kGapMs);
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuMs();
        ModbusRtuMaster::WaitForGap();
        const double cpu = ThreadCpuMs() - cpuStart;
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        wallMs.push_back(wall);
        cpuShare.push_back(100.0 * cpu / wall);
    }
    state.counters["gap_wall_median_ms"] = Median(wallMs);
    state.counters["gap_cpu_median_percent"] = Median(cpuShare);
}
BENCHMARK(BM_GapWaitCpu)->Iterations(100)->Unit(benchmark::kMillisecond);

constexpr int kPacedTransactions = 60;

// Our master and libmodbus in turn on the same paced link: the time per transaction (a status read
// of 13 registers and the 20 ms gap; libmodbus sleeps the gap after each read) and its CPU cost.
void BM_PacedAgainstLibmodbus(benchmark::State& state) {
    const auto baud = static_cast<std::uint32_t>(state.range(0));
    // The simulated instrument, replying at the line's pace.
    test::SimulatorThread instrument({1, false}, {}, {}, {baud, 0});
    const auto directory = std::filesystem::temp_directory_path() / ("vexlo-bench-paced-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    std::filesystem::current_path(directory);
    SetPortMappings({{1, instrument.PortPath()}});
    double oursMs = 0, oursCpuMs = 0, theirsMs = 0, theirsCpuMs = 0;
    for (auto _ : state) {
        {
            PortSettings settings = GetPortSettings(0);
            settings.SetBaud(baud);
            ModbusRtuMaster master;
            SetPortSettings(0, settings);  // over what the first port of the process read from "Serial.cfg"
            master.SelectStation(1);
            master.linkEnabled = true;
            master.Open();
            std::uint8_t status[26];
            master.ReadRegisters(0x0030, 13, status);  // first contact outside the measure
            const auto start = Clock::now();
            const double cpuStart = ThreadCpuMs();
            // Each transaction waits out the gap of the one before: sixty gaps, as libmodbus's sleeps.
            for (int i = 0; i < kPacedTransactions; ++i) master.ReadRegisters(0x0030, 13, status);
            oursCpuMs = (ThreadCpuMs() - cpuStart) / kPacedTransactions;
            oursMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kPacedTransactions;
        }
        modbus_t* context = modbus_new_rtu(instrument.PortPath().c_str(), static_cast<int>(baud), 'E', 8, 1);
        modbus_set_slave(context, 1);
        if (modbus_connect(context) != 0) {
            state.SkipWithError("libmodbus could not open the link");
            modbus_free(context);
            break;
        }
        std::uint16_t registers[13];
        modbus_read_registers(context, 0x0030, 13, registers);
        usleep(20000);
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuMs();
        for (int i = 0; i < kPacedTransactions; ++i) {
            modbus_read_registers(context, 0x0030, 13, registers);
            usleep(20000);
        }
        theirsCpuMs = (ThreadCpuMs() - cpuStart) / kPacedTransactions;
        theirsMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kPacedTransactions;
        modbus_close(context);
        modbus_free(context);
    }
    state.counters["ours_period_ms"] = oursMs;
    state.counters["libmodbus_period_ms"] = theirsMs;
    state.counters["period_difference_percent"] = theirsMs > 0 ? 100.0 * (oursMs - theirsMs) / theirsMs : 0;
    state.counters["ours_cpu_ms"] = oursCpuMs;
    state.counters["libmodbus_cpu_ms"] = theirsCpuMs;
    SetPortMappings({});
    std::filesystem::remove_all(directory);
}
BENCHMARK(BM_PacedAgainstLibmodbus)->Arg(9600)->Arg(19200)->Arg(115200)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexlo

BENCHMARK_MAIN();
