#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "instrument/TesterDevice.h"
#include "simulator/harness/SimulatorThread.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo::test {

// A TesterDevice on COM1, wired to the simulated instrument through a pseudo-terminal.
class SimulatedDeviceFixture : public ::testing::Test {
protected:
    void StartSimulator(sim::SlaveIdentity identity = {}, sim::InstrumentConfig config = {},
                        std::vector<sim::FaultRule> faults = {}, sim::LineTiming timing = {}) {
        simulator = std::make_unique<SimulatorThread>(identity, config, std::move(faults), timing);
        dir.MapPort(1, simulator->PortPath());
        device.SelectStation(identity.station);
        device.linkEnabled = true;
        ASSERT_TRUE(device.Open());
    }
    void TearDown() override { device.Close(); }

    // Silent candidates cost less with the short reply time-out the station search uses.
    void ShortenReplyTimeout() {
        device.replyTimeoutMs = 50;
        device.Close();
        ASSERT_TRUE(device.Open());
    }

    std::string LastRequestHex() const {
        int length = 0;
        const auto* bytes = device.LastRequest(&length);
        return ToHex(bytes, static_cast<size_t>(length));
    }

    ScopedWorkDir dir;
    std::unique_ptr<SimulatorThread> simulator;
    TesterDevice device;
};

}  // namespace vexlo::test
