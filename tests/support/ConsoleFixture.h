#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "config/AppSettings.h"
#include "console/TesterConsole.h"
#include "simulator/harness/SimulatorThread.h"
#include "tests/support/FreshConsoleStatics.h"
#include "tests/support/RecordingView.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo::test {

// The console logic with a recording screen, on COM1 wired to the simulated instrument.
class ConsoleFixture : public ::testing::Test {
protected:
    void StartConsole(sim::SlaveIdentity identity = {}, sim::InstrumentConfig config = {},
                      std::vector<sim::FaultRule> faults = {}, int replyTimeoutMs = 500) {
        simulator =
            std::make_unique<SimulatorThread>(identity, config, std::move(faults), sim::LineTiming{}, instrumentTime);
        OpenConsole(simulator->PortPath(), storedStation.value_or(identity.station), replyTimeoutMs);
    }
    // The console with COM1 mapped to the device path.
    void OpenConsole(const std::string& devicePath, int station, int replyTimeoutMs = 500) {
        dir.MapPort(1, devicePath);
        settings = std::make_unique<AppSettings>();
        settings->comPort = 0;
        settings->station = station;
        console = std::make_unique<TesterConsole>(*settings, view);
        console->Device().replyTimeoutMs = static_cast<std::uint32_t>(replyTimeoutMs);
        console->Initialise();
    }
    void TearDown() override {
        if (console) console->Shutdown();
    }
    // Plain-text lines of the trace, without frames ("<S>", "<R>", " -> <").
    std::vector<std::string> TraceText() const {
        std::vector<std::string> lines;
        for (const auto& line : console->Trace().Lines()) {
            if (line.rfind("<", 0) != 0 && line.rfind(" -> <", 0) != 0) lines.push_back(line);
        }
        return lines;
    }
    void SwitchPolling(bool on) {
        if (on) {
            view.checked.insert(Option::RealTimeStatus);
        } else {
            view.checked.erase(Option::RealTimeStatus);
        }
        console->RealTimeStatusCommand();
    }
    // With the instrument's time moved by hand: start, one polled tick with the cycle running, then
    // the whole cycle's time and the tick that sees its end.
    void RunOneCycle() {
        console->StartCommand();
        console->TimerTick();
        ASSERT_FALSE(console->LastStatus().EndOfCycle());
        const auto program = simulator->Locked()->RunningProgram();
        simulator->AdvanceMs(simulator->Locked()->CycleLengthMs(program) + 1);
        console->TimerTick();
        ASSERT_TRUE(console->LastStatus().EndOfCycle());
    }

    // The station as the INI file gave it, when a test wants another than the instrument's.
    std::optional<int> storedStation;
    // ByHand: the instrument's cycle moves only with simulator->AdvanceMs.
    SimulatorThread::Time instrumentTime = SimulatorThread::Time::Real;
    FreshConsoleStatics statics;
    ScopedWorkDir dir;
    RecordingView view;
    std::unique_ptr<SimulatorThread> simulator;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<TesterConsole> console;
};

}  // namespace vexlo::test
