#include <gtest/gtest.h>

#include <memory>

#include "config/AppSettings.h"
#include "console/TesterConsole.h"
#include "tests/support/ManualClock.h"
#include "tests/support/RecordingView.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorProcess.h"

namespace vexlo {
namespace {

// The instrument's port goes away and comes back under the same name (an adapter pulled and
// plugged in again): the console polls on and the lamp turns green again without "Setup".
TEST(ReplugTest, PollingResumesWhenTheDeviceIsBack) {
    test::ManualClock clock;
    test::ScopedWorkDir dir;
    const std::string link = dir.File("instrument");
    auto simulator = std::make_unique<test::SimulatorProcess>(std::vector<std::string>{"--link", link});
    ASSERT_FALSE(simulator->PortPath().empty());
    dir.MapPort(1, link);
    AppSettings settings(dir.File("VexloModbusTester.ini"));
    settings.station = 1;
    test::RecordingView view;
    TesterConsole::cycleShown = 0;
    TesterConsole console(settings, view);
    console.Initialise();
    view.checked.insert(Option::RealTimeStatus);
    console.RealTimeStatusCommand();
    console.TimerTick();
    EXPECT_EQ(console.LampState(), kLampGreen);

    simulator->Stop();  // the pseudo-terminal and its link are gone
    console.TimerTick();
    EXPECT_EQ(console.LampState(), kLampRed);
    simulator = std::make_unique<test::SimulatorProcess>(std::vector<std::string>{"--link", link});
    console.TimerTick();
    EXPECT_EQ(console.LampState(), kLampRed);  // tried again only after a second
    clock.AdvanceMs(1000);
    console.TimerTick();
    EXPECT_EQ(console.LampState(), kLampGreen);
    EXPECT_TRUE(view.messages.empty());
    console.Shutdown();
}

}  // namespace
}  // namespace vexlo
