#include <gtest/gtest.h>

#include "config/AppSettings.h"
#include "console/TesterConsole.h"
#include "tests/support/FreshConsoleStatics.h"
#include "tests/support/ManualClock.h"
#include "tests/support/RecordingView.h"
#include "tests/support/Records.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/ScriptedDevice.h"

namespace vexlo {
namespace {

using test::Bytes;
using test::FromHex;
using test::WithCrc;

Bytes StatusReply(const test::StatusFields& fields) {
    Bytes reply = FromHex("01 03 1a");
    const StatusRecord status = test::MakeStatus(fields);
    reply.insert(reply.end(), status.bytes.begin(), status.bytes.end());
    return WithCrc(reply);
}

// The console on a scripted link: every reply is the test's, so each field, light and step stands apart.
class ConsoleScriptedTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.station = 1;
        console = std::make_unique<TesterConsole>(settings, view);
        console->Initialise();
        view.checked.insert(Option::RealTimeStatus);
        console->RealTimeStatusCommand();
    }
    void TearDown() override { console->Shutdown(); }

    test::FreshConsoleStatics statics;
    test::ScopedWorkDir dir;
    test::ManualClock clock;
    test::ScriptedLink link;
    AppSettings settings{dir.File("VexloModbusTester.ini")};
    test::RecordingView view;
    std::unique_ptr<TesterConsole> console;
};

// Each status field and each link counter in its own display, each relay bit on its own light.
TEST_F(ConsoleScriptedTest, EachStatusFieldCounterAndRelayBitLandsInItsOwnPlace) {
    link.Add({false, StatusReply({3, 5, 7, 0x0002, 0x0104, 1234, 14000, -5678, 6000})});
    console->TimerTick();
    EXPECT_EQ(view.statusText, "0003 0005 0007 0002 0104 04d2 0000 36b0 0000 e9d2 ffff 1770 0000");
    console->ShowLinkCounters(LinkCounters{11, 22, 33, 44, 55, 66});
    using enum Display;
    const std::pair<Display, const char*> shown[] = {{RunningProgram, "3"},  {FifoCount, "5"},
                                                     {TestType, "7"},        {RelayStatus, "0x0002"},
                                                     {StepCode, "0x0104"},   {Measure1, "1.234"},
                                                     {Measure1Unit, "mbar"}, {Measure2, "-5.678"},
                                                     {Measure2Unit, "Pa"},   {Requests, "11"},
                                                     {Errors, "22"},         {CrcErrors, "33"},
                                                     {TimeoutErrors, "44"},  {NegativeResponses, "55-66"}};
    for (const auto& [display, text] : shown) EXPECT_EQ(view.displays[display], text) << static_cast<int>(display);

    using enum StatusLight;
    const std::pair<std::uint16_t, StatusLight> bits[] = {
        {0x01, Ok}, {0x02, TestReject}, {0x04, ReferenceReject}, {0x08, Alarm}, {0x20, EndOfCycle}};
    for (const auto& [bit, light] : bits) {
        link.Add({false, StatusReply({.relays = bit})});
        console->TimerTick();
        for (const auto& [otherBit, other] : bits) EXPECT_EQ(view.lights[other], other == light) << "bit " << bit;
    }
    link.Add({false, StatusReply({.relays = 0x10})});  // bit 4 has no light
    console->TimerTick();
    for (const auto& [bit, light] : bits) EXPECT_FALSE(view.lights[light]);
}

// One tick: timer off, the sequencer's step (here its start), the status poll, both counted, timer on at 100.
TEST_F(ConsoleScriptedTest, ATickRunsItsStepsInOrder) {
    std::vector<std::string> events;
    link.Script().onWrite = [&](const Bytes& frame) {
        events.push_back((view.timerRunning ? "timer on, fn " : "fn ") + std::to_string(frame[1]));
    };
    console->Sequencer().sequencerState = CycleSequencer::ProgramSelected;
    link.Add({false, WithCrc(FromHex("01 05 00 01 ff 00"))});  // the start's echo
    link.Add({false, StatusReply({})});
    console->TimerTick();
    EXPECT_EQ(events, (std::vector<std::string>{"fn 5", "fn 3"}));
    EXPECT_EQ(view.displays[Display::Requests], "1");  // the status read, counted before display
    EXPECT_TRUE(view.timerRunning);
    EXPECT_EQ(view.timerPeriods.back(), 100);
    EXPECT_EQ(console->Sequencer().sequencerState, CycleSequencer::WaitingEndOfCycle);
}

// The station search asks the port for the short reply time-out, and gives the normal one back.
TEST_F(ConsoleScriptedTest, SearchRunsOnTheShortReplyTimeout) {
    console->SearchCommand();                                       // nobody answers
    std::vector<std::pair<std::uint32_t, std::uint32_t>> timeouts;  // reply, then silence after a byte
    for (const auto& set : link.Script().configured) timeouts.emplace_back(set.readConstantMs, set.readIntervalMs);
    EXPECT_EQ(timeouts, (decltype(timeouts){{500, 50}, {50, 50}, {500, 50}}));
    EXPECT_EQ(view.messages.back(), "Station not found !!!");
}

// While polling, "Read FIFO" goes by the last poll's count: none sends nothing, one sends the FIFO read alone.
TEST_F(ConsoleScriptedTest, ReadFifoWhilePollingGoesByThePolledCount) {
    const auto& sent = link.Script().sent;
    link.Add({false, StatusReply({3, 0, 7, 0x0021, 0x0104, 1234, 14000, -5678, 6000})});
    console->TimerTick();
    console->ReadFifoCommand();
    // (A build without a results store has said so before: the last message is the command's.)
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back(), "FIFO empty !!!, Run cycle first");
    EXPECT_EQ(sent.size(), 1u);

    link.Add({false, StatusReply({3, 5, 7, 0x0021, 0x0104, 1234, 14000, -5678, 6000})});
    console->TimerTick();
    Bytes fifo = FromHex("01 03 48");
    fifo.resize(3 + 72);
    fifo[3] = 4;  // program 5
    link.Add({false, WithCrc(fifo)});
    console->ReadFifoCommand();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2], WithCrc(FromHex("01 03 00 10 00 24")));
    EXPECT_EQ(console->Results().Lines().front(), "Program n\xC2\xB0: 5");
}

// The sequencer's failure paths: each ends in the cycle report with the line that says why, and starts nothing.
TEST_F(ConsoleScriptedTest, SequencerFailurePaths) {
    view.checked.erase(Option::RealTimeStatus);
    console->RealTimeStatusCommand();
    auto& sequencer = console->Sequencer();
    const struct {
        const char* name;
        CycleSequencer::State from;
        bool endOfCycle;   // one status reply with the bit set; nothing else answers
        const char* line;  // the trace's last line
        int cycles;
    } rows[] = {
        // A failed read goes straight to the report, before the time-out test.
        {"EndOfCycleUnread", CycleSequencer::WaitingEndOfCycle, false, "", 0},
        // An expired wait is a time-out even when the cycle has just ended.
        {"EndOfCycleTooLate", CycleSequencer::WaitingEndOfCycle, true, "*** Timeout cycle ***", 0},
        // Ready, but the program selection fails: counted as a cycle.
        {"SelectionFails", CycleSequencer::WaitingReady, true, "<R>:<none>", 1},
        {"StartRefused", CycleSequencer::ProgramSelected, false, "<R>:<none>", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        console->Trace().Clear();
        const int cycles = sequencer.cycleCount;
        const int started = sequencer.startedOkCount;
        sequencer.sequencerState = row.from;
        if (row.endOfCycle) link.Add({false, StatusReply({.relays = relay::kEndOfCycle})});
        console->TimerTick();
        const std::string last = console->Trace().Empty() ? "" : console->Trace().Lines().back();
        EXPECT_EQ(std::tuple(sequencer.sequencerState, last, sequencer.cycleCount - cycles, sequencer.startedOkCount),
                  std::tuple(CycleSequencer::CycleReport, row.line, row.cycles, started));
    }
}

}  // namespace
}  // namespace vexlo
