#include <gtest/gtest.h>

#include <memory>

#include "tests/support/ChildProcess.h"
#include "tests/support/ConsoleFixture.h"
#include "tests/support/ManualClock.h"

namespace vexlo {
namespace {

class ReplugTest : public test::ConsoleFixture {};

// The instrument's port goes away and comes back under the same name (an adapter pulled and
// plugged in again): the console polls on and the lamp turns green again without "Setup".
TEST_F(ReplugTest, PollingResumesWhenTheDeviceIsBack) {
    test::ManualClock clock;
    const std::string link = dir.File("instrument");
    const auto startSimulator = [&] {
        auto process = std::make_unique<test::ChildProcess>(test::SimulatorCommand({"--link", link}),
                                                            test::ChildProcess::Stream::Output);
        EXPECT_FALSE(process->FirstLine().empty());  // the port path: the link is in place
        return process;
    };
    auto process = startSimulator();
    OpenConsole(link, 1);
    SwitchPolling(true);
    console->TimerTick();
    EXPECT_EQ(console->LampState(), kLampGreen);

    process->Stop();  // the pseudo-terminal and its link are gone
    console->TimerTick();
    EXPECT_EQ(console->LampState(), kLampRed);
    process = startSimulator();
    console->TimerTick();
    EXPECT_EQ(console->LampState(), kLampRed);  // tried again only after a second
    clock.AdvanceMs(1000);
    console->TimerTick();
    EXPECT_EQ(console->LampState(), kLampGreen);
    EXPECT_TRUE(view.messages.empty());
    console->Shutdown();
    console.reset();
}

}  // namespace
}  // namespace vexlo
