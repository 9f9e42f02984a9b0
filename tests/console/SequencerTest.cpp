#include <gtest/gtest.h>

#include "tests/support/ConsoleFixture.h"
#include "tests/support/ManualClock.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;
using State = CycleSequencer::State;

// The sequencer's time-outs run on the manual clock and the instrument's cycle on time moved by hand.
class SequencerTest : public test::ConsoleFixture {
protected:
    SequencerTest() { instrumentTime = test::SimulatorThread::Time::ByHand; }
    void SwitchOn() {
        view.entries[Entry::InterCycle] = "0";
        console->RunningCommand(true);
    }
    State Step() const { return console->Sequencer().sequencerState; }
    // Ticks (moving both clocks a tick's time) until the sequencer reaches the state, within a bound.
    bool TickUntil(State state, int maxTicks = 300) {
        for (int i = 0; i < maxTicks; ++i) {
            console->TimerTick();
            if (Step() == state) return true;
            clock.AdvanceMs(TesterConsole::kTickMs);
            simulator->AdvanceMs(TesterConsole::kTickMs);
        }
        return false;
    }
    test::ManualClock clock;
};

TEST_F(SequencerTest, AGoodCycleWithTheFifoRead) {
    StartConsole();
    view.checked.insert(Option::ReadFifo);
    SwitchOn();
    EXPECT_FALSE(view.commandsEnabled);
    ASSERT_TRUE(TickUntil(State::InterCycleWait));
    ASSERT_TRUE(TickUntil(State::Arm));
    const std::string rule(35, '-');
    EXPECT_EQ(TraceText(),
              (Lines{"********************************************* ", " *** Waiting Ready 4 sec***", " Ok Ready !!!!",
                     "--", " *** Select prog ***", " *** Start prog ***", "*** Waiting EOC 10 sec ***",
                     "Cycle time =  4500(ms)", "--", "*** Read fifo ***", "*** EOC ***", rule,
                     "Nb cycle = 1, Nb Started OK = 1", rule, "-> Next programm  !!! in 0 (sec)"}));
    EXPECT_EQ(console->Results().Size(), 12u);  // the FIFO result was decoded
    EXPECT_EQ(view.entries[Entry::RunningProgram], "1");
    EXPECT_EQ(simulator->Locked()->RunningProgram(), 0);

    // Off and on again continues the alternation.
    console->RunningCommand(false);
    EXPECT_TRUE(view.commandsEnabled);
    SwitchOn();
    ASSERT_TRUE(TickUntil(State::ProgramSelected));
    EXPECT_EQ(simulator->Locked()->RunningProgram(), 1);
    EXPECT_EQ(console->Sequencer().cycleCount, 1);
}

struct Timeout {
    const char* name;
    bool instrumentBusy;    // a cycle runs that never ends: never ready
    bool statusUnanswered;  // every status read fails
    State waiting;
    std::int64_t limitMs;
    State after;
    const char* line;
};

class SequencerTimeoutTest : public SequencerTest, public ::testing::WithParamInterface<Timeout> {};

// From the waiting step only the sequencer's clock moves: just short of the limit it still waits,
// just past it it gives up with the line that says why.
TEST_P(SequencerTimeoutTest, GivesUpOnlyPastItsLimit) {
    const Timeout& c = GetParam();
    std::vector<sim::FaultRule> faults;
    if (c.statusUnanswered) faults.push_back({sim::FaultKind::NoReply, 1.0, 0x0030});
    StartConsole({}, {}, faults, c.statusUnanswered ? 20 : 500);
    if (c.instrumentBusy) simulator->Locked()->WriteCoil(1, 0xFF00, 0);
    SwitchOn();
    ASSERT_TRUE(TickUntil(c.waiting, 20));
    clock.AdvanceMs(c.limitMs - 100);
    console->TimerTick();
    EXPECT_EQ(Step(), c.waiting);
    clock.AdvanceMs(200);
    console->TimerTick();
    EXPECT_EQ(Step(), c.after);
    EXPECT_EQ(TraceText().back(), c.line);
}

// A failed read is no answer: it holds the wait, however long.
INSTANTIATE_TEST_SUITE_P(Steps, SequencerTimeoutTest,
                         ::testing::Values(Timeout{"NeverReady", true, false, State::WaitingReady, 4000,
                                                   State::InterCycleWait, " *** Not Ready ***"},
                                           Timeout{"CycleNeverEnds", false, false, State::WaitingEndOfCycle, 10000,
                                                   State::CycleReport, "*** Timeout cycle ***"},
                                           Timeout{"StatusUnanswered", false, true, State::WaitingReady, 9000,
                                                   State::WaitingReady, " *** Waiting Ready 4 sec***"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SequencerTest, PauseCountsDownInWholeSeconds) {
    StartConsole();
    view.entries[Entry::InterCycle] = "-3";  // a negative pause becomes one second
    console->Sequencer().sequencerState = State::CycleReport;
    console->TimerTick();
    console->TimerTick();
    EXPECT_EQ(TraceText().back(), " >>>  1 sec");
    clock.AdvanceMs(500);
    console->TimerTick();
    EXPECT_EQ(TraceText().back(), " >>>  0 sec");
    const size_t lines = console->Trace().Size();
    clock.AdvanceMs(501);
    console->TimerTick();
    EXPECT_EQ(Step(), State::Arm);
    EXPECT_EQ(console->Trace().Size(), lines + 2);  // uptime and next-program lines; 0 s was shown already
    view.entries[Entry::InterCycle] = "abc";
    console->Sequencer().sequencerState = State::CycleReport;
    console->TimerTick();
    console->TimerTick();
    EXPECT_EQ(Step(), State::Arm);  // no pause
}

}  // namespace
}  // namespace vexlo
