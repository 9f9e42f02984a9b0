// vexlo-sim: the simulated instrument on a pseudo-terminal, for the console, the tests and training.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "simulator/PseudoTerminal.h"
#include "simulator/RtuSlave.h"
#include "simulator/SimulatorOptions.h"
#include "simulator/StationBus.h"

namespace {

std::atomic<bool> stopRequested{false};

void OnStopSignal(int) { stopRequested = true; }

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vexlo::sim;
    std::string error;
    const auto options = ParseSimulatorOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::fprintf(stderr, "vexlo-sim: %s\n%s", error.c_str(), SimulatorUsage().c_str());
        return 2;
    }
    if (options->showHelp) {
        std::printf("%s", SimulatorUsage().c_str());
        return 0;
    }

    vexlo::PseudoTerminal pty;
    if (!pty.IsOpen()) {
        std::perror("vexlo-sim: cannot open a pseudo-terminal");
        return 1;
    }
    if (!options->linkPath.empty()) {
        (void)unlink(options->linkPath.c_str());
        if (symlink(pty.SlavePath().c_str(), options->linkPath.c_str()) != 0) {
            std::perror(("vexlo-sim: cannot place link " + options->linkPath).c_str());
            return 1;
        }
    }
    std::printf("%s\n", pty.SlavePath().c_str());
    std::fflush(stdout);
    InstallStopHandlers();

    InstrumentModel model(options->instrument);
    SlaveProtocol anyStation(model, options->identity);
    StationBus bus(options->instrument, options->stations);
    RequestHandler& protocol = options->identity.answerAllStations ? static_cast<RequestHandler&>(anyStation) : bus;
    FaultPlan faults;
    faults.SetSeed(options->instrument.seed);
    faults.SetPauseMs(options->pauseMs);
    for (const auto& rule : options->faults) faults.Add(rule);
    std::string stations;
    for (const int station : options->stations) stations += (stations.empty() ? "" : ",") + std::to_string(station);
    std::fprintf(stderr, "vexlo-sim: station %s, cycle of program 1 lasts %.1f s\n",
                 options->identity.answerAllStations ? "any" : stations.c_str(),
                 static_cast<double>(model.CycleLengthMs(0)) / 1000.0 / options->instrument.speed);

    RtuSlave slave(pty.MasterFd(), protocol, faults, options->timing);
    slave.Run(stopRequested);

    if (!options->linkPath.empty()) (void)unlink(options->linkPath.c_str());
    const auto& stats = slave.Statistics();
    std::fprintf(stderr, "vexlo-sim: %ld frames answered, %ld ignored, %ld bytes dropped\n", stats.framesAnswered,
                 stats.framesIgnored, stats.bytesDropped);
    return 0;
}
