#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/ConsoleFixture.h"
#include "tests/support/ManualClock.h"

namespace vexlo {
namespace {

// The console against the simulated instrument; the store beside the INI file read by a connection of its own.
class ConsoleRecordingTest : public test::ConsoleFixture {
protected:
    ConsoleRecordingTest() { instrumentTime = test::SimulatorThread::Time::ByHand; }
    std::vector<StoredResult> StoredRows() {
        ResultStore store;
        EXPECT_EQ(store.Open(dir.File(ResultStore::kFileName)), std::nullopt);
        return store.Rows({});
    }
    test::ManualClock clock;
};

TEST_F(ConsoleRecordingTest, EachPartOnceWhicheverWayItIsRead) {
    StartConsole();
    SwitchPolling(true);
    console->TimerTick();
    RunOneCycle();
    for (int i = 0; i < 3; ++i) console->ReadLastResultCommand();
    console->ReadFifoCommand();
    RunOneCycle();
    console->ReadFifoCommand();
    console->ReadLastResultCommand();
    const auto rows = StoredRows();
    std::vector<std::tuple<ResultSource, bool, std::string>> seen;
    for (const auto& row : rows) seen.emplace_back(row.source, row.cycleEndedMs.has_value(), row.port);
    ASSERT_EQ(seen, (decltype(seen){{ResultSource::LastResult, true, "COM1"}, {ResultSource::Fifo, false, "COM1"}}));
    ASSERT_EQ(console->History().Entries().size(), 2u);
    EXPECT_EQ(console->History().Entries()[1].id, rows[1].id);
    EXPECT_EQ(view.messages, std::vector<std::string>{});
}

TEST_F(ConsoleRecordingTest, TheSequencerRecordsEveryCycle) {
    StartConsole();
    view.checked.insert(Option::ReadFifo);
    view.entries[Entry::InterCycle] = "0";
    console->RunningCommand(true);
    for (int i = 0; i < 400 && console->Sequencer().cycleCount < 3; ++i) {
        console->TimerTick();
        clock.AdvanceMs(TesterConsole::kTickMs);
        simulator->AdvanceMs(TesterConsole::kTickMs);
    }
    console->RunningCommand(false);
    const auto rows = StoredRows();
    ASSERT_GE(rows.size(), 2u);
    for (const auto& row : rows)
        EXPECT_EQ(std::tuple(row.source, row.cycleEndedMs.has_value()), std::tuple(ResultSource::Sequencer, true));
    EXPECT_NE(rows[0].raw.ProgramIndex(), rows[1].raw.ProgramIndex());  // P1 and P2 in turn
}

}  // namespace
}  // namespace vexlo
