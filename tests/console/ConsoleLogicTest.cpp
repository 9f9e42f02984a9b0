#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <sstream>

#include "tests/support/ChildProcess.h"
#include "tests/support/ConsoleFixture.h"
#include "tests/support/Hex.h"
#include "tests/support/ManualClock.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;
using State = CycleSequencer::State;

class ConsoleLogicTest : public test::ConsoleFixture {
protected:
    Lines Trace() const { return Lines(console->Trace().Lines().begin(), console->Trace().Lines().end()); }
    Lines Results() const { return Lines(console->Results().Lines().begin(), console->Results().Lines().end()); }
};

// The lamp: yellow with polling off, green while the instrument answers, red once it is gone. An adapter
// pulled and plugged in again (same port name): polling goes on and the lamp is green without "Setup".
TEST_F(ConsoleLogicTest, LampFollowsThePollAndResumesWhenTheDeviceIsBack) {
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
    console->TimerTick();
    EXPECT_EQ(view.lampRows, std::vector<int>{32});
    SwitchPolling(true);
    console->TimerTick();
    EXPECT_EQ(view.lampRows, (std::vector<int>{32, 0, 16}));

    process->Stop();  // the pseudo-terminal and its link are gone
    console->TimerTick();
    EXPECT_EQ(view.lampRows.back(), 0);
    EXPECT_EQ(view.statusText, "1 : 9600, 8, E, 1, None");     // the port instead of the registers
    EXPECT_EQ(view.displays[Display::RelayStatus], "0x0020");  // fields keep their values
    process = startSimulator();
    console->TimerTick();
    EXPECT_EQ(view.lampRows.back(), 0);  // tried again only after a second
    clock.AdvanceMs(1000);
    console->TimerTick();
    EXPECT_EQ(view.lampRows.back(), 16);
    EXPECT_TRUE(view.messages.empty());
    SwitchPolling(false);
    EXPECT_EQ(view.lampRows.back(), 32);
    console->Shutdown();
    console.reset();
}

// The counters are written only when they change; the program fields reach their commands and dialogs.
TEST_F(ConsoleLogicTest, CountersProgramFieldsAndDialogs) {
    StartConsole();
    console->TimerTick();
    EXPECT_EQ(view.displays[Display::NegativeResponses], "0-0");
    EXPECT_EQ(view.displayWrites[Display::Errors], 1);
    console->TimerTick();
    EXPECT_EQ(view.displayWrites[Display::Errors], 1);
    EXPECT_EQ(view.displayWrites[Display::Requests], 2);
    for (int i = 0; i < 3; ++i) console->ReadLastResultCommand();  // no result yet: a refusal each
    EXPECT_EQ(view.messages, Lines(3, "Result is empty !!!, Run a cycle"));
    console->TimerTick();
    EXPECT_EQ(view.displays[Display::NegativeResponses], "3-0");
    EXPECT_EQ(view.displays[Display::Requests], "3");
    EXPECT_EQ(view.displayWrites[Display::TimeoutErrors], 1);

    view.messages.clear();
    view.entries[Entry::RunningProgram] = "2";
    console->SelectProgCommand();
    EXPECT_EQ(console->Trace().Size(), 2u);  // traced; the program it selects shows in the results test
    view.entries[Entry::RunningProgram] = "9";
    console->SelectProgCommand();
    EXPECT_EQ(view.messages, Lines{"Program numero does not exist!!!"});
    EXPECT_EQ(console->CurrentProgram(), 9);
    view.entries[Entry::TimeProgram] = "3";
    console->SetTimeCommand();
    EXPECT_EQ(view.timeSetupPrograms, std::vector<int>{3});
    console->ReadTimeCommand();
    EXPECT_EQ(console->Results().Lines().front(), "FILL TIME: 1.2");
    console->ParameterDialogExchange(false);
    EXPECT_EQ(console->Trace().Lines().back(), "<R>:<none>");
}

// Two cycles of different programs, the bar once for each: the last result is the second, the FIFO's the first.
TEST_F(ConsoleLogicTest, ResultsDecodeWithAndWithoutErd) {
    instrumentTime = test::SimulatorThread::Time::ByHand;
    StartConsole();
    console->ReadFifoCommand();  // polling off: the status read tells the FIFO is empty
    EXPECT_EQ(view.messages, Lines{"FIFO empty !!!, Run cycle first"});
    EXPECT_EQ(console->Device().Counters().requests, 1);
    EXPECT_TRUE(console->Trace().Empty());
    SwitchPolling(true);
    console->TimerTick();
    EXPECT_EQ(view.animation, std::vector<bool>{false});  // the bit seen set: bar empty
    RunOneCycle();
    EXPECT_EQ(view.animation, (std::vector<bool>{false, true, false}));  // once per cycle
    console->TimerTick();
    EXPECT_EQ(view.animation.size(), 3u);  // nothing new while the bit stays
    view.entries[Entry::RunningProgram] = "3";
    console->SelectProgCommand();
    RunOneCycle();
    console->ReadLastResultCommand();
    ASSERT_EQ(console->Results().Size(), 12u);
    EXPECT_EQ(console->Results().Lines()[0], "Program n\xC2\xB0: 3");
    view.checked.insert(Option::VexloErd);
    console->ReadFifoCommand();  // polling on: the count from the last poll
    ASSERT_EQ(console->Results().Size(), 25u);
    EXPECT_EQ(console->Results().Lines()[0], "Program n\xC2\xB0: 1");
    EXPECT_EQ(console->Results().Lines()[12], "...ERD...");
    console->TimerTick();
    console->ReadFifoCommand();
    EXPECT_EQ(console->Results().Lines()[0], "Program n\xC2\xB0: 3");
}

// A refused entry stops the command (the value the screen no longer shows is never written); good ones go.
TEST_F(ConsoleLogicTest, RawPanelSendsNothingAfterARefusalThenReadsAndWrites) {
    StartConsole();
    auto& entries = view.entries;
    entries[Entry::ReadAddress] = "6000";
    entries[Entry::WordCount] = "2";
    entries[Entry::WriteLong] = "7";
    entries[Entry::WriteWord] = "5";
    ASSERT_TRUE(console->AcceptCommand());  // the members now hold the good values

    const std::tuple<Entry, const char*, const char*> cases[] = {
        {Entry::WriteWord, "abc", "Please enter an integer."},
        {Entry::WriteLong, "1.5", "Please enter an integer."},
        {Entry::WordCount, "129", "Please enter an integer between 1 and 128."},
        {Entry::WordCount, "0", "Please enter an integer between 1 and 128."},
        {Entry::WriteAddress, "zz", "Please enter a hexadecimal address from 0 to FFFF."},
        {Entry::ReadAddress, "0x2301", "Please enter a hexadecimal address from 0 to FFFF."},
    };
    for (const auto& [entry, text, prompt] : cases) {
        const std::string good = entries[entry];
        entries[entry] = text;
        EXPECT_FALSE(console->AcceptCommand()) << text;  // Enter keeps the console open
        for (const bool coil : {false, true}) {
            view.checked = coil ? std::set<Option>{Option::WriteBit} : std::set<Option>{};
            view.prompts.clear();
            console->RawPanel().ReadWordsCommand();
            console->RawPanel().WriteWordCommand();
            console->RawPanel().WriteLongCommand();
            EXPECT_EQ(view.prompts, decltype(view.prompts)(3, {entry, prompt})) << text;
        }
        entries[entry] = good;
    }
    EXPECT_EQ(console->Device().Counters().requests, 0);
    EXPECT_TRUE(console->Trace().Empty());  // coil writes count no request: the trace tells

    entries[Entry::WordCount] = "128";  // the largest read
    EXPECT_TRUE(console->AcceptCommand());
    EXPECT_EQ(console->RawPanel().wordCount, 128u);
    console->RawPanel().ReadWordsCommand();
    EXPECT_EQ(console->Device().Counters().requests, 1);

    view.checked.clear();
    entries[Entry::WriteLong] = "305419896";
    entries[Entry::WriteWord] = "4660";
    console->RawPanel().WriteWordCommand();
    console->RawPanel().ReadWordsCommand();
    EXPECT_EQ(Results().at(3), "sw_word=13330, 3412(H)");  // the word written, read back as received
    EXPECT_EQ(view.displays[Display::ReadHex], "00001234(H)");

    entries[Entry::ReadAddress] = " 30 ";  // the input register row's
    using Command = void (RawRegisterPanel::*)();
    const struct {
        std::set<Option> options;
        const char* word;
        Command command;
        const char* request;
    } rows[] = {
        {{}, "4660", &RawRegisterPanel::WriteWordCommand, "01 10 60 00 00 01 02 34 12"},
        {{Option::SwapWord}, "4660", &RawRegisterPanel::WriteWordCommand, "01 10 60 00 00 01 02 12 34"},
        {{Option::SwapWord}, "4660", &RawRegisterPanel::WriteLongCommand, "01 10 60 00 00 02 04 78 56 34 12"},
        {{}, "-1", &RawRegisterPanel::WriteWordCommand, "01 10 60 00 00 01 02 ff ff"},
        {{Option::WriteBit}, "-1", &RawRegisterPanel::WriteWordCommand, "01 05 60 00 ff 00"},
        // Input registers: the instrument serves both tables alike.
        {{Option::ReadInputRegister}, "0", &RawRegisterPanel::ReadWordsCommand, "01 04 00 30 00 80"},
    };
    for (const auto& row : rows) {
        view.checked = row.options;
        entries[Entry::WriteWord] = row.word;
        console->Trace().Clear();
        (console->RawPanel().*row.command)();
        ASSERT_FALSE(console->Trace().Empty()) << row.request;
        EXPECT_EQ(Trace()[0], "<S>: " + test::ToHex(test::WithCrc(test::FromHex(row.request))) + " ");
    }
}

// A stored station of 0 would broadcast: station 255 is used until a search or Setup gives one.
TEST_F(ConsoleLogicTest, StationFromTheFileTheSearchAndSetup) {
    storedStation = 0;
    StartConsole({63, false}, {}, {}, 20);
    const std::string ini = dir.File("VexloModbusTester.ini");
    EXPECT_EQ(view.messages, Lines{"Station 0 in " + ini +
                                   " is not a station from 1 to 255: station 255 is used until Setup sets one."});
    EXPECT_EQ(view.displays[Display::Station], "255");
    console->StartCommand();
    EXPECT_EQ(Trace()[0].substr(0, 8), "<S>: ff ");
    console->SetupCommand();  // cancelled
    EXPECT_EQ(console->Device().Station(), 255);
    EXPECT_EQ(view.messages.size(), 1u);

    console->SearchCommand();
    EXPECT_EQ(view.messages.back(), "Station found = 63");
    EXPECT_EQ(settings->station, 63);
    EXPECT_EQ(AppSettings().station, 63);  // saved in the INI file
    EXPECT_EQ(view.displays[Display::Station], "63");
    EXPECT_EQ(view.timerPeriods, (std::vector<int>{1000, 500, 500}));

    view.setupDialog = [](AppSettings& s) {
        s.accessMode = 1;
        s.station = 200;
        return true;
    };
    console->SetupCommand();
    EXPECT_EQ(view.accessModeLabel, "Direct Access");
    EXPECT_EQ(AppSettings().accessMode, 1);
    EXPECT_EQ(console->Device().Station(), 200);

    // A file that cannot be written is reported; the link still follows the confirmed choice.
    std::filesystem::create_directory(ini + ".tmp");
    const std::string unsaved = "The settings could not be saved to " + ini + ".";
    view.messages.clear();
    console->SearchCommand();
    EXPECT_EQ(view.messages, (Lines{"Station found = 63", unsaved}));
    console->SetupCommand();
    EXPECT_EQ(view.messages, (Lines{"Station found = 63", unsaved, unsaved}));
    EXPECT_EQ(console->Device().Station(), 200);
}

// The lines of the folder's session logs (one a day), oldest first, without their time stamps.
Lines LoggedLines(const std::string& folder) {
    std::set<std::string> logs;  // sorted by name, so by day
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("VexloModbusTester-")) logs.insert(entry.path().string());
    }
    Lines lines;
    for (const auto& log : logs) {
        std::istringstream in(test::ReadWholeFile(log));
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(25));
    }
    return lines;
}

// What each command leaves in the lists (the frames are pinned where they are built). Each traced line
// goes to the day's log past the list's cap; a log that cannot be opened is reported once.
TEST_F(ConsoleLogicTest, CommandsFillTheListsAndTheSessionLogOnlyWhenItIsOn) {
    StartConsole();
    console->Results().AppendTraceLine("old result");
    console->StartCommand();
    EXPECT_TRUE(console->Results().Empty());
    console->CopyTraceToFileCommand();  // the trace, its coil write echoed
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(test::ReadWholeFile(dir.File(view.questions[0].substr(15))),
              "<S>: 01 05 00 01 ff 00 dd fa \r\n<R>: 01 05 00 01 ff 00 dd fa \r\n\r\n");
    EXPECT_TRUE(view.messages.empty());
    console->ResetCommand();
    console->Results().AppendTraceLine("kept");
    console->ClearFifoCommand();
    EXPECT_EQ(Trace().size(), 6u);
    EXPECT_EQ(Results(), Lines{"kept"});
    console->ClearListsCommand();
    EXPECT_TRUE(console->Trace().Empty());
    EXPECT_TRUE(console->Results().Empty());
    EXPECT_TRUE(LoggedLines(dir.Path()).empty());

    settings->sessionLog = 1;
    std::set<std::string> reports;
    const std::int64_t now = std::int64_t{std::time(nullptr)} * 1000;
    for (const std::int64_t day : {now, now + 86400000}) {  // the test may run across midnight
        std::filesystem::create_directory(dir.File(SessionLog::FileName(day)));
        reports.insert("The session log could not be written to " + dir.File(SessionLog::FileName(day)) + ".");
    }
    console->ResetCommand();
    console->ResetCommand();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(reports.count(view.messages[0]), 1u) << view.messages[0];
    EXPECT_EQ(console->Trace().Lines().size(), 4u);

    for (const std::int64_t day : {now, now + 86400000}) std::filesystem::remove(dir.File(SessionLog::FileName(day)));
    Lines logged;
    for (int i = 0; i < 1100; ++i) {
        logged.push_back("line " + std::to_string(i));
        console->Trace().AppendTraceLine(logged.back());
    }
    console->ResetCommand();
    const Lines trace = Trace();
    logged.insert(logged.end(), trace.end() - 2, trace.end());
    EXPECT_EQ(LoggedLines(dir.Path()), logged);
    EXPECT_EQ(view.messages.size(), 1u);
}

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

// Only the sequencer's clock moves: just short of the limit it waits, just past it it says why it gave up.
TEST_F(SequencerTest, EachWaitGivesUpOnlyPastItsLimit) {
    const struct {
        bool instrumentBusy;    // a cycle runs that never ends: never ready
        bool statusUnanswered;  // every status read fails: no answer holds the wait, however long
        State waiting;
        std::int64_t limitMs;
        State after;
        const char* line;
    } rows[] = {{true, false, State::WaitingReady, 4000, State::InterCycleWait, " *** Not Ready ***"},
                {false, false, State::WaitingEndOfCycle, 10000, State::CycleReport, "*** Timeout cycle ***"},
                {false, true, State::WaitingReady, 9000, State::WaitingReady, " *** Waiting Ready 4 sec***"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.limitMs);
        if (console) console->Shutdown();
        std::vector<sim::FaultRule> faults;
        if (row.statusUnanswered) faults.push_back({sim::FaultKind::NoReply, 1.0, 0x0030});
        StartConsole({}, {}, faults, row.statusUnanswered ? 20 : 500);
        if (row.instrumentBusy) simulator->Locked()->WriteCoil(1, 0xFF00, 0);
        SwitchOn();
        ASSERT_TRUE(TickUntil(row.waiting, 20));
        clock.AdvanceMs(row.limitMs - 100);
        console->TimerTick();
        EXPECT_EQ(Step(), row.waiting);
        clock.AdvanceMs(200);
        console->TimerTick();
        EXPECT_EQ(Step(), row.after);
        EXPECT_EQ(TraceText().back(), row.line);
    }
}

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
