#include <gtest/gtest.h>

#include <memory>

#include "config/AppSettings.h"
#include "console/TesterConsole.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FreshConsoleStatics.h"
#include "tests/support/ManualClock.h"
#include "tests/support/RecordingView.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

// The instrument's port goes away and comes back under the same name (an adapter pulled and
// plugged in again): the console polls on and the lamp turns green again without "Setup".
TEST(ReplugTest, PollingResumesWhenTheDeviceIsBack) {
    test::ManualClock clock;
    test::ScopedWorkDir dir;
    const std::string link = dir.File("instrument");
    const auto startSimulator = [&] {
        auto process = std::make_unique<test::ChildProcess>(test::SimulatorCommand({"--link", link}),
                                                            test::ChildProcess::Stream::Output);
        EXPECT_FALSE(process->FirstLine().empty());  // the port path: the link is in place
        return process;
    };
    auto simulator = startSimulator();
    dir.MapPort(1, link);
    AppSettings settings(dir.File("VexloModbusTester.ini"));
    settings.station = 1;
    test::RecordingView view;
    test::FreshConsoleStatics statics;
    TesterConsole console(settings, view);
    console.Initialise();
    view.checked.insert(Option::RealTimeStatus);
    console.RealTimeStatusCommand();
    console.TimerTick();
    EXPECT_EQ(console.LampState(), kLampGreen);

    simulator->Stop();  // the pseudo-terminal and its link are gone
    console.TimerTick();
    EXPECT_EQ(console.LampState(), kLampRed);
    simulator = startSimulator();
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
