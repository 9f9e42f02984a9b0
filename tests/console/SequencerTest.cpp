#include <gtest/gtest.h>

#include "tests/support/ConsoleFixture.h"
#include "tests/support/ManualClock.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;

// The sequencer's time-outs and pauses run on the manual clock, and the instrument's cycle on time
// moved by hand: nothing depends on how fast the machine is.
class SequencerTest : public test::ConsoleFixture {
protected:
    SequencerTest() { instrumentTime = test::SimulatorThread::Time::ByHand; }
    void SwitchOn() {
        view.entries[Entry::InterCycle] = "0";
        console->RunningCommand(true);
    }
    // Ticks (moving both clocks a tick's time) until the sequencer reaches the state, within a bound.
    bool TickUntil(std::int32_t state, int maxTicks = 300) {
        for (int i = 0; i < maxTicks; ++i) {
            console->TimerTick();
            if (console->Sequencer().sequencerState == state) return true;
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
    const std::int32_t before = CycleSequencer::nextProgram;
    SwitchOn();
    EXPECT_FALSE(view.commandsEnabled);
    ASSERT_TRUE(TickUntil(CycleSequencer::InterCycleWait));
    ASSERT_TRUE(TickUntil(CycleSequencer::Arm));
    const Lines text = TraceText();
    const Lines expected = {"********************************************* ",
                            " *** Waiting Ready 4 sec***",
                            " Ok Ready !!!!",
                            "--",
                            " *** Select prog ***",
                            " *** Start prog ***",
                            "*** Waiting EOC 10 sec ***"};
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(Lines(text.begin(), text.begin() + 7), expected);
    EXPECT_EQ(text[7].substr(0, 13), "Cycle time = ");
    const Lines after = {"--",
                         "*** Read fifo ***",
                         "*** EOC ***",
                         "-----------------------------------",
                         "Nb cycle = 1, Nb Started OK = 1",
                         "-----------------------------------"};
    auto at = std::find(text.begin(), text.end(), "--");
    at = std::find(at + 1, text.end(), "--");
    ASSERT_NE(at, text.end());
    EXPECT_EQ(Lines(at, at + 3), Lines(after.begin(), after.begin() + 3));
    EXPECT_NE(std::find(text.begin(), text.end(), "Nb cycle = 1, Nb Started OK = 1"), text.end());
    EXPECT_EQ(text.back(), "-> Next programm  !!! in 0 (sec)");
    EXPECT_EQ(console->Results().Size(), 12u);  // the FIFO result was decoded
    const std::int32_t selected = before == 1 ? 2 : 1;
    EXPECT_EQ(CycleSequencer::nextProgram, selected);
    EXPECT_EQ(view.entries[Entry::RunningProgram], std::to_string(selected));
    EXPECT_EQ(simulator->Model().RunningProgram(), selected - 1);

    // Off and on again continues the alternation.
    console->RunningCommand(false);
    EXPECT_TRUE(view.commandsEnabled);
    SwitchOn();
    ASSERT_TRUE(TickUntil(CycleSequencer::ProgramSelected));
    EXPECT_EQ(CycleSequencer::nextProgram, selected == 1 ? 2 : 1);
    EXPECT_EQ(console->Sequencer().cycleCount, 1);
}

TEST_F(SequencerTest, AnInstrumentThatIsNeverReady) {
    StartConsole();  // the instrument's time stands still: a started cycle never ends
    simulator->Model().WriteCoil(1, 0xFF00, 0);
    SwitchOn();
    console->TimerTick();  // arm
    console->TimerTick();  // not ready yet
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::WaitingReady);
    clock.AdvanceMs(3900);
    console->TimerTick();
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::WaitingReady);
    clock.AdvanceMs(200);
    console->TimerTick();
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::InterCycleWait);
    EXPECT_EQ(TraceText().back(), " *** Not Ready ***");
    console->TimerTick();  // the countdown has already run out: the next pass starts at once
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::Arm);
    EXPECT_EQ(console->Sequencer().cycleCount, 0);
}

TEST_F(SequencerTest, ACycleThatNeverEnds) {
    StartConsole();
    SwitchOn();
    ASSERT_TRUE(TickUntil(CycleSequencer::WaitingEndOfCycle, 20));
    // From here only the sequencer's clock moves: the instrument's cycle never ends.
    clock.AdvanceMs(9900);
    console->TimerTick();
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::WaitingEndOfCycle);
    clock.AdvanceMs(200);
    console->TimerTick();
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::CycleReport);
    EXPECT_EQ(TraceText().back(), "*** Timeout cycle ***");
    console->TimerTick();
    EXPECT_EQ(TraceText()[TraceText().size() - 2], "Nb cycle = 1, Nb Started OK = 1");
}

TEST_F(SequencerTest, FailingStatusReadsHoldItWaiting) {
    StartConsole({}, {}, {{sim::FaultKind::NoReply, 1.0, 0x0030}}, 20);
    SwitchOn();
    console->TimerTick();
    for (int i = 0; i < 3; ++i) {
        clock.AdvanceMs(3000);
        console->TimerTick();
        EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::WaitingReady);
    }
    EXPECT_EQ(TraceText().back(), " *** Waiting Ready 4 sec***");
}

TEST_F(SequencerTest, PauseCountsDownInWholeSeconds) {
    StartConsole();
    view.entries[Entry::InterCycle] = "-3";  // a negative pause becomes one second
    console->Sequencer().sequencerState = CycleSequencer::CycleReport;
    CycleSequencer::lastShownSeconds = 7;
    console->TimerTick();
    console->TimerTick();
    EXPECT_EQ(TraceText().back(), " >>>  1 sec");
    clock.AdvanceMs(500);
    console->TimerTick();
    EXPECT_EQ(TraceText().back(), " >>>  0 sec");
    const size_t lines = console->Trace().Size();
    clock.AdvanceMs(501);
    console->TimerTick();
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::Arm);
    EXPECT_EQ(console->Trace().Size(), lines + 2);  // uptime and next-program lines; 0 s was shown already
    view.entries[Entry::InterCycle] = "abc";
    console->Sequencer().sequencerState = CycleSequencer::CycleReport;
    console->TimerTick();
    console->TimerTick();
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::Arm);  // no pause
}

}  // namespace
}  // namespace vexlo
