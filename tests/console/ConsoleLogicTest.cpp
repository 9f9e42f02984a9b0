#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/ConsoleFixture.h"
#include "tests/support/Hex.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;
using test::FromHex;
using test::ToHex;
using test::WithCrc;

class ConsoleLogicTest : public test::ConsoleFixture {
protected:
    Lines Trace() const { return Lines(console->Trace().Lines().begin(), console->Trace().Lines().end()); }
    Lines Results() const { return Lines(console->Results().Lines().begin(), console->Results().Lines().end()); }
};

TEST_F(ConsoleLogicTest, LampFollowsThePoll) {
    StartConsole({}, {}, {}, 50);
    EXPECT_EQ(view.timerPeriods, std::vector<int>{1000});
    EXPECT_EQ(view.statusCaption, "[ Status ] < Standard Access > ");
    console->TimerTick();
    EXPECT_EQ(view.lampRows, std::vector<int>{32});  // polling off: yellow, counters still shown
    EXPECT_EQ(view.displays[Display::Requests], "0");
    SwitchPolling(true);
    console->TimerTick();
    EXPECT_EQ(view.lampRows, (std::vector<int>{32, 0, 16}));
    EXPECT_EQ(view.statusText, "0001 0000 0001 0020 0000 0000 0000 36b0 0000 0000 0000 1770 0000");

    // The instrument goes away: red lamp, the port description instead of the registers.
    console->Device().SelectStation(9);
    console->TimerTick();
    EXPECT_EQ(view.lampRows.back(), 0);
    EXPECT_EQ(view.statusText, "1 : 9600, 8, E, 1, None");
    EXPECT_EQ(view.displays[Display::RelayStatus], "0x0020");  // fields keep their values
    console->Device().SelectStation(1);
    console->TimerTick();
    EXPECT_EQ(view.lampRows.back(), 16);
    SwitchPolling(false);
    EXPECT_EQ(view.lampRows.back(), 32);
}

TEST_F(ConsoleLogicTest, CountersAreWrittenOnlyWhenTheyChange) {
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
}

TEST_F(ConsoleLogicTest, ProgressAnimationRunsOncePerCycle) {
    instrumentTime = test::SimulatorThread::Time::ByHand;
    StartConsole();
    SwitchPolling(true);
    console->TimerTick();
    EXPECT_EQ(view.animation, std::vector<bool>{false});  // the bit seen set: bar empty
    RunOneCycle();
    EXPECT_EQ(view.animation, (std::vector<bool>{false, true, false}));
    console->TimerTick();
    EXPECT_EQ(view.animation.size(), 3u);  // nothing new while the bit stays
}

// The frames are pinned where they are built: here, what each command leaves in the lists.
TEST_F(ConsoleLogicTest, CommandsWriteTheirTraceLines) {
    StartConsole();
    console->Results().AppendTraceLine("old result");
    console->StartCommand();
    ASSERT_EQ(Trace().size(), 2u);
    EXPECT_EQ(Trace()[1], "<R>" + Trace()[0].substr(3));  // a coil write is echoed
    EXPECT_TRUE(console->Results().Empty());
    EXPECT_EQ(console->Sequencer().startOk, 1);
    console->ResetCommand();
    console->Results().AppendTraceLine("kept");
    console->ClearFifoCommand();
    EXPECT_EQ(Trace().size(), 6u);
    EXPECT_EQ(Results(), Lines{"kept"});
    console->ClearListsCommand();
    EXPECT_TRUE(console->Trace().Empty());
    EXPECT_TRUE(console->Results().Empty());

    console->Device().replyTimeoutMs = 20;
    console->Device().SelectStation(9);
    console->StartCommand();
    EXPECT_EQ(Trace()[0].substr(0, 8), "<S>: 09 ");
    EXPECT_EQ(Trace()[1], "<R>:<none>");
    EXPECT_EQ(console->Sequencer().startOk, 0);
}

// Two cycles of different programs: the last result is the second, the FIFO gives the first first.
TEST_F(ConsoleLogicTest, ResultsDecodeWithAndWithoutErd) {
    instrumentTime = test::SimulatorThread::Time::ByHand;
    StartConsole();
    console->ReadFifoCommand();  // polling off: the status read tells the FIFO is empty
    EXPECT_EQ(view.messages, Lines{"FIFO empty !!!, Run cycle first"});
    EXPECT_EQ(console->Device().Counters().requests, 1);
    EXPECT_TRUE(console->Trace().Empty());
    SwitchPolling(true);
    RunOneCycle();
    view.entries[Entry::RunningProgram] = "3";
    console->SelectProgCommand();
    RunOneCycle();
    console->ReadLastResultCommand();
    ASSERT_EQ(console->Results().Size(), 12u);
    EXPECT_EQ(console->Results().Lines()[0], "Program n\xC2\xB0: 3");
    EXPECT_EQ(console->Results().Lines()[8], "Pressure: 600.000");
    view.checked.insert(Option::VexloErd);
    console->ReadFifoCommand();  // polling on: the count from the last poll
    ASSERT_EQ(console->Results().Size(), 25u);
    EXPECT_EQ(console->Results().Lines()[0], "Program n\xC2\xB0: 1");
    EXPECT_EQ(console->Results().Lines()[8], "Pressure: 500.000");
    EXPECT_EQ(console->Results().Lines()[12], "...ERD...");
    console->TimerTick();
    console->ReadFifoCommand();
    EXPECT_EQ(console->Results().Lines()[0], "Program n\xC2\xB0: 3");
}

TEST_F(ConsoleLogicTest, RawPanelReadsAndWrites) {
    StartConsole();
    auto& entries = view.entries;
    entries[Entry::ReadAddress] = "6000";
    entries[Entry::WriteLong] = "305419896";
    entries[Entry::WriteWord] = "4660";

    console->RawPanel().WriteWordCommand();
    EXPECT_EQ(Trace()[0], "<S>: " + ToHex(WithCrc(FromHex("01 10 60 00 00 01 02 34 12"))) + " ");
    console->RawPanel().ReadWordsCommand();
    EXPECT_EQ(Results().at(3), "sw_word=13330, 3412(H)");  // the word written, read back as received
    EXPECT_EQ(view.displays[Display::ReadHex], "00001234(H)");

    view.checked.insert(Option::SwapWord);
    console->RawPanel().WriteWordCommand();
    EXPECT_EQ(Trace()[4].substr(0, 32), "<S>: 01 10 60 00 00 01 02 12 34 ");
    console->RawPanel().WriteLongCommand();
    EXPECT_EQ(Trace()[6].substr(0, 38), "<S>: 01 10 60 00 00 02 04 78 56 34 12 ");
    entries[Entry::WriteWord] = "-1";
    view.checked.erase(Option::SwapWord);
    console->RawPanel().WriteWordCommand();
    EXPECT_EQ(Trace()[8].substr(0, 32), "<S>: 01 10 60 00 00 01 02 ff ff ");
    view.checked.insert(Option::WriteBit);
    console->RawPanel().WriteWordCommand();
    EXPECT_EQ(Trace()[10], "<S>: " + ToHex(WithCrc(FromHex("01 05 60 00 ff 00"))) + " ");

    // Input registers: the instrument serves both tables alike.
    view.checked.insert(Option::ReadInputRegister);
    entries[Entry::ReadAddress] = " 30 ";
    console->RawPanel().ReadWordsCommand();
    EXPECT_EQ(Trace()[12].substr(0, 23), "<S>: 01 04 00 30 00 01 ");
}

// A refused entry stops the command: the value the screen no longer shows is never written.
TEST_F(ConsoleLogicTest, RawPanelSendsNothingAfterARefusal) {
    StartConsole();
    auto& entries = view.entries;
    entries[Entry::ReadAddress] = "6000";
    entries[Entry::WriteAddress] = "6000";
    entries[Entry::WordCount] = "2";
    entries[Entry::WriteLong] = "7";
    entries[Entry::WriteWord] = "5";
    ASSERT_TRUE(console->AcceptCommand());  // the members now hold the good values

    struct Case {
        Entry entry;
        const char* text;
        const char* prompt;
    };
    const Case cases[] = {
        {Entry::WriteWord, "abc", "Please enter an integer."},
        {Entry::WriteLong, "1.5", "Please enter an integer."},
        {Entry::WordCount, "129", "Please enter an integer between 1 and 128."},
        {Entry::WordCount, "0", "Please enter an integer between 1 and 128."},
        {Entry::WriteAddress, "zz", "Please enter a hexadecimal address from 0 to FFFF."},
        {Entry::ReadAddress, "0x2301", "Please enter a hexadecimal address from 0 to FFFF."},
    };
    for (const Case& c : cases) {
        const std::string good = entries[c.entry];
        entries[c.entry] = c.text;
        for (const bool coil : {false, true}) {
            if (coil)
                view.checked.insert(Option::WriteBit);
            else
                view.checked.erase(Option::WriteBit);
            view.prompts.clear();
            console->RawPanel().ReadWordsCommand();
            console->RawPanel().WriteWordCommand();
            console->RawPanel().WriteLongCommand();
            ASSERT_EQ(view.prompts.size(), 3u) << c.text;
            EXPECT_EQ(view.prompts[0], std::make_pair(c.entry, std::string(c.prompt))) << c.text;
        }
        entries[c.entry] = good;
    }
    EXPECT_EQ(console->Device().Counters().requests, 0);
    EXPECT_TRUE(console->Trace().Empty());  // coil writes count no request: the trace tells
}

TEST_F(ConsoleLogicTest, WordCountOf128IsTheLargestRead) {
    StartConsole();
    view.entries[Entry::WordCount] = "129";
    EXPECT_FALSE(console->AcceptCommand());  // Enter keeps the console open
    view.entries[Entry::WordCount] = "128";
    EXPECT_TRUE(console->AcceptCommand());
    EXPECT_EQ(console->RawPanel().wordCount, 128u);
    console->RawPanel().ReadWordsCommand();
    EXPECT_EQ(console->Device().Counters().requests, 1);
}

TEST_F(ConsoleLogicTest, ListboxToFile) {
    StartConsole();
    console->StartCommand();
    console->CopyTraceToFileCommand();
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0].substr(0, 15), "Copy to file ?\n");
    const std::string name = view.questions[0].substr(15);
    EXPECT_EQ(test::ReadWholeFile(dir.File(name)),
              "<S>: 01 05 00 01 ff 00 dd fa \r\n<R>: 01 05 00 01 ff 00 dd fa \r\n\r\n");
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(ConsoleLogicTest, SetupAndSearchRestartTheTimerAt500) {
    StartConsole({63, false}, {}, {}, 500);
    settings->station = 1;
    console->SetupCommand();  // cancelled
    EXPECT_EQ(view.timerPeriods.back(), 500);
    EXPECT_EQ(console->Device().Station(), 63);

    console->SearchCommand();
    EXPECT_EQ(view.messages.back(), "Station found = 63");
    EXPECT_EQ(settings->station, 63);
    EXPECT_EQ(AppSettings().station, 63);  // saved in the INI file
    EXPECT_EQ(view.displays[Display::Station], "63");
    EXPECT_EQ(console->Device().replyTimeoutMs, 500u);
    EXPECT_EQ(view.timerPeriods.back(), 500);

    view.setupDialog = [](AppSettings& s) {
        s.accessMode = 1;
        return true;
    };
    console->SetupCommand();
    EXPECT_EQ(view.accessModeLabel, "Direct Access");
    EXPECT_EQ(AppSettings().accessMode, 1);

    // A file that cannot be written is reported; the link still follows the confirmed choice.
    std::filesystem::create_directory(dir.File("VexloModbusTester.ini.tmp"));
    const std::string unsaved = "The settings could not be saved to " + dir.File("VexloModbusTester.ini") + ".";
    view.messages.clear();
    console->SearchCommand();
    EXPECT_EQ(view.messages, (Lines{"Station found = 63", unsaved}));
    console->SetupCommand();
    EXPECT_EQ(view.messages.back(), unsaved);
    EXPECT_EQ(console->Device().Station(), 63);
}

// A stored station of 0 would broadcast: the console says so once and talks to station 255.
TEST_F(ConsoleLogicTest, StoredStationOutsideItsRangeIsNeverUsed) {
    storedStation = 0;
    StartConsole({255, false});
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], "Station 0 in " + dir.File("VexloModbusTester.ini") +
                                    " is not a station from 1 to 255: station 255 is used until Setup sets one.");
    EXPECT_EQ(view.displays[Display::Station], "255");
    console->StartCommand();
    EXPECT_EQ(Trace()[0].substr(0, 8), "<S>: ff ");
    view.setupDialog = [](AppSettings& s) {
        s.station = 255;
        return true;
    };
    console->SetupCommand();
    EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(ConsoleLogicTest, ProgramFieldsAndDialogs) {
    StartConsole();
    view.entries[Entry::RunningProgram] = "2";
    console->SelectProgCommand();
    EXPECT_EQ(simulator->Locked()->RunningProgram(), 1);
    EXPECT_EQ(console->Trace().Size(), 2u);
    view.entries[Entry::RunningProgram] = "9";
    console->SelectProgCommand();
    EXPECT_EQ(view.messages, Lines{"Program numero does not exist!!!"});
    EXPECT_EQ(console->CurrentProgram(), 9);
    view.entries[Entry::TimeProgram] = "3";
    console->SetTimeCommand();
    EXPECT_EQ(view.timeSetupPrograms, std::vector<int>{3});
    console->ReadTimeCommand();
    EXPECT_EQ(console->Results().Lines().front(), "FILL TIME: 1.2");
    console->WriteTwentyCommand();
    EXPECT_EQ(view.messages.back(), "CVexloModbusTesterDlg::OnBtnW20(), TODO");
    console->ParameterDialogExchange(false);
    EXPECT_EQ(console->Trace().Lines().back(), "<R>:<none>");
}

// The lines of the session logs in the folder (one a day), oldest first, without their time stamps.
Lines LoggedLines(const std::string& folder) {
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("VexloModbusTester-", 0) == 0) logs.push_back(entry.path());
    }
    std::sort(logs.begin(), logs.end());
    Lines lines;
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (.*))");
    for (const auto& log : logs) {
        std::istringstream in(test::ReadWholeFile(log.string()));
        for (std::string line; std::getline(in, line);) {
            std::smatch match;
            EXPECT_TRUE(std::regex_match(line, match, stamped)) << line;
            lines.push_back(match.size() > 1 ? match[1].str() : line);
        }
    }
    return lines;
}

class SessionLogConsoleTest : public test::ConsoleFixture {};

// With the check box on, each traced line also goes to the day's log, past the trace list's cap;
// with it off, nothing is written.
TEST_F(SessionLogConsoleTest, TracedLinesGoToTheLogOnlyWhenItIsOn) {
    StartConsole();
    console->StartCommand();
    EXPECT_TRUE(LoggedLines(dir.Path()).empty());
    settings->sessionLog = 1;
    console->ResetCommand();
    for (int i = 0; i < 1100; ++i) console->Trace().AppendTraceLine("line " + std::to_string(i));
    const Lines lines = LoggedLines(dir.Path());
    ASSERT_EQ(lines.size(), 1102u);
    EXPECT_EQ(lines[0].substr(0, 5), "<S>: ");
    EXPECT_EQ(lines[1].substr(0, 5), "<R>: ");
    EXPECT_EQ(lines[2], "line 0");
    EXPECT_EQ(lines.back(), "line 1099");
    EXPECT_TRUE(view.messages.empty());
}

// The day's log cannot be opened (a folder took its name): one report, not one per line, and the
// trace goes on.
TEST_F(SessionLogConsoleTest, AFailingLogIsReportedOnce) {
    StartConsole();
    settings->sessionLog = 1;
    // Both days are blocked: the test may run across midnight.
    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    std::set<std::string> blocked;
    for (const std::int64_t day : {now, now + 86400000}) {
        const std::string path = dir.File(SessionLog::FileName(day));
        blocked.insert(path);
        std::filesystem::create_directory(path);
    }
    console->ResetCommand();
    console->ResetCommand();
    ASSERT_EQ(view.messages.size(), 1u);
    const std::string prefix = "The session log could not be written to ";
    const std::string& message = view.messages.front();
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    EXPECT_EQ(blocked.count(message.substr(prefix.size(), message.size() - prefix.size() - 1)), 1u) << message;
    EXPECT_EQ(console->Trace().Lines().size(), 4u);
}

}  // namespace
}  // namespace vexlo
