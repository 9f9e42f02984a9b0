#include <gtest/gtest.h>

#include "modbus/CountdownTimer.h"
#include "tests/support/ManualClock.h"

namespace vexlo {
namespace {

TEST(CountdownTimerTest, CountsDownAndStaysAtZero) {
    test::ManualClock clock;
    CountdownTimer timer;
    EXPECT_EQ(timer.Remaining(), 0);  // never armed
    for (const int duration : {0, -5}) {
        timer.Arm(duration);
        EXPECT_EQ(timer.Remaining(), 0);
    }
    timer.Arm(4000);
    // How far the clock moves, and what remains after it: the whole duration must pass.
    const std::pair<std::int64_t, int> steps[] = {{0, 4000}, {1500000, 2500}, {2499900, 1}, {100, 0}, {5000000, 0}};
    for (const auto& [us, remaining] : steps) {
        clock.AdvanceUs(us);
        EXPECT_EQ(timer.Remaining(), remaining) << us;
    }
    // Arming again restarts it.
    timer.Arm(20);
    EXPECT_EQ(timer.Remaining(), 20);
    clock.AdvanceMs(21);
    EXPECT_EQ(timer.Remaining(), 0);
    clock.AdvanceMs(-10);  // disarmed for good until armed again
    EXPECT_EQ(timer.Remaining(), 0);
}

TEST(StopwatchTest, ElapsedSurvivesTheTickCountWrap) {
    test::ManualClock clock;
    Stopwatch watch;
    EXPECT_EQ(watch.Elapsed(), 0u);
    for (const std::uint32_t startMs : {5000u, 0xFFFFFFFFu - 200}) {
        clock.SetTickCountMs(startMs);
        watch.Start();
        clock.AdvanceMs(1234);
        watch.Stop();
        EXPECT_EQ(watch.Elapsed(), 1234u) << startMs;
    }
}

}  // namespace
}  // namespace vexlo
