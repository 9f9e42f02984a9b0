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
    EXPECT_EQ(timer.Remaining(), 4000);
    clock.AdvanceMs(1500);
    EXPECT_EQ(timer.Remaining(), 2500);
    clock.AdvanceUs(2499900);
    EXPECT_EQ(timer.Remaining(), 1);
    clock.AdvanceUs(100);
    EXPECT_EQ(timer.Remaining(), 0);  // the whole duration has passed
    clock.AdvanceMs(5000);
    EXPECT_EQ(timer.Remaining(), 0);
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
    clock.SetTickCountMs(5000);
    watch.Start();
    clock.AdvanceMs(1234);
    watch.Stop();
    EXPECT_EQ(watch.Elapsed(), 1234u);
    clock.SetTickCountMs(0xFFFFFFFFu - 200);
    watch.Start();
    clock.AdvanceMs(1234);
    watch.Stop();
    EXPECT_EQ(watch.Elapsed(), 1234u);
}

}  // namespace
}  // namespace vexlo
