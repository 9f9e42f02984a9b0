#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <set>
#include <tuple>

#include "common/LocalTimestamp.h"
#include "history/ResultJson.h"
#include "history/ResultRecorder.h"
#include "history/SessionLog.h"
#include "tests/support/Records.h"
#include "tests/support/ScopedTimeZone.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::ScopedWorkDir;

// A result whose every field differs from the others; leak tells results apart.
ResultRecord Result(std::int32_t leak, std::uint16_t program = 1, std::uint8_t relays = 0x01) {
    ResultRecord r = test::MakeResult({program, 3, relays, 17, 2007, 14000, leak, 1000});
    for (int n = 2; n < 8; ++n) {
        StoreLe32(r.bytes.data() + 8 + 8 * n, 1000 * (n + 2) + 7);
        StoreLe32(r.bytes.data() + 12 + 8 * n, 14000);
    }
    return r;
}

ResultContext Line(const std::string& port = "COM1", int station = 1) { return {port, station, std::nullopt, "", ""}; }

// One step of a session: a read (its source and which result it returned) or an end of cycle.
struct Step {
    char what;  // 'L' last result, 'F' FIFO, 'S' sequencer, 'E' end of cycle seen, '2' next read from program 2
    int result;
};

struct RuleCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<int> rows;  // the results that became rows, in order
};

TEST(ResultStoreTest, OneRowPerTestedPart) {
    const RuleCase cases[] = {
        {"last result read three times", {{'L', 1}, {'L', 1}, {'L', 1}}, {1}},
        {"FIFO after the last result", {{'L', 1}, {'F', 1}}, {1}},
        {"last result after the FIFO", {{'F', 1}, {'L', 1}}, {1}},
        {"FIFO entries of several cycles", {{'F', 1}, {'F', 2}, {'F', 3}, {'L', 3}}, {1, 2, 3}},
        {"last result first, then the FIFO up to it", {{'L', 3}, {'F', 1}, {'F', 2}, {'F', 3}, {'L', 3}}, {3, 1, 2}},
        {"identical readings of two FIFO entries", {{'F', 5}, {'F', 5}}, {5, 5}},
        {"identical readings across two cycles", {{'L', 5}, {'E', 0}, {'L', 5}, {'L', 5}}, {5, 5}},
        {"identical readings, no end of cycle seen", {{'L', 5}, {'L', 5}}, {5}},
        {"sequencer cycles", {{'E', 0}, {'S', 5}, {'E', 0}, {'S', 5}, {'L', 5}}, {5, 5}},
        {"another program reads it again", {{'L', 1}, {'2', 0}, {'L', 1}, {'2', 0}, {'F', 1}}, {1}},
        {"another program sees the end", {{'L', 5}, {'2', 0}, {'E', 0}, {'L', 5}}, {5, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        ResultStore first, second;
        ASSERT_EQ(first.Open(dir.File(ResultStore::kFileName)), std::nullopt);
        ASSERT_EQ(second.Open(dir.File(ResultStore::kFileName)), std::nullopt);
        ResultStore* store = &first;
        std::int64_t now = 1000;
        for (const Step& step : c.steps) {
            ++now;
            if (step.what == '2') {
                store = &second;
                continue;
            }
            if (step.what == 'E') {
                EXPECT_EQ(store->MarkCycleEnd("COM1", 1, now), std::nullopt);
            } else {
                const ResultSource source = step.what == 'L'   ? ResultSource::LastResult
                                            : step.what == 'F' ? ResultSource::Fifo
                                                               : ResultSource::Sequencer;
                EXPECT_NE(store->Record(Result(step.result), source, Line(), now, false).outcome,
                          ResultStore::Outcome::Failed);
            }
            store = &first;
        }
        std::vector<int> leaks;
        for (const auto& row : first.Rows({})) leaks.push_back(row.raw.Measure(1));
        EXPECT_EQ(leaks, c.rows);
        // Other lines and stations are parts of their own.
        for (const ResultContext& other : {Line("COM2"), Line("COM1", 2)}) {
            EXPECT_EQ(first.Record(Result(c.rows.back()), ResultSource::LastResult, other, now, false).outcome,
                      ResultStore::Outcome::Recorded)
                << other.port << " " << other.station;
        }
    }
}

TEST(ResultStoreTest, RowsBatchesAndPartIdsComeBackAfterARestart) {
    ScopedWorkDir dir;
    const std::string file = dir.File(ResultStore::kFileName);
    {
        ResultHistory shown;
        ResultRecorder recorder(shown);
        ASSERT_EQ(recorder.Open(file), std::nullopt);
        EXPECT_EQ(recorder.CurrentBatch()->name, "Batch 1");
        recorder.SetOperator("Ada");
        recorder.SetNextPartId("SN-0001");
        // The cycle ends where the status bit rises: not at its first sight, not where it falls.
        for (const auto& [relays, ms] : {std::pair{relay::kEndOfCycle, 1765000000010},
                                         {0, 1765000000020},
                                         {relay::kEndOfCycle, 1765000000030},
                                         {0, 1765000000040}}) {
            EXPECT_EQ(recorder.StatusSeen("COM1", 1, test::MakeStatus({.relays = relays}), ms), std::nullopt);
        }
        ResultContext context = Line();
        context.limits = RejectLimits{2500, 1500, 1000};
        EXPECT_TRUE(recorder.Record(Result(100), ResultSource::LastResult, context, 1765000000123).saved);
        EXPECT_EQ(recorder.NextPartId(), "");
        // The same part again takes no part id.
        recorder.SetNextPartId("SN-0002");
        EXPECT_FALSE(recorder.Record(Result(100), ResultSource::Fifo, Line(), 1765000000200).newPart);
        EXPECT_EQ(recorder.NextPartId(), "SN-0002");
        ASSERT_EQ(recorder.NewBatch("Lot 7", 1765000001000), std::nullopt);
        EXPECT_TRUE(recorder.Record(Result(200, 2, 0x02), ResultSource::Sequencer, Line(), 1765000002000).saved);
    }
    ResultHistory shown;
    ResultRecorder recorder(shown);
    ASSERT_EQ(recorder.Open(file), std::nullopt);
    const auto batches = recorder.Batches();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(std::tuple(batches[0].results, recorder.CurrentBatch()->name), std::tuple(1, "Lot 7"));
    ASSERT_EQ(shown.Entries().size(), 1u);
    const HistoryEntry& last = shown.Entries()[0];
    EXPECT_EQ(std::tuple(last.partId, last.operatorName, last.Verdict()), std::tuple("SN-0002", "Ada", "Test reject"));
    recorder.ShowBatch(batches[0].id);
    ASSERT_EQ(shown.Entries().size(), 1u);
    const auto row = recorder.Store().Row(shown.Entries()[0].id);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->cycleEndedMs, 1765000000030);
    const auto json = ResultJson(*row);
    const auto expected = nlohmann::json::parse(R"({"partId": "SN-0001", "rejectTest": 2.5, "rejectRef": 1.5,
        "leak": 0.1, "leakUnit": "cm3/mn", "pressureUnit": "mbar", "alarmCode": 17, "source": "last result"})");
    for (const auto& [key, value] : expected.items()) EXPECT_EQ(json[key], value) << key;
    EXPECT_EQ(json["raw"].get<std::string>().substr(0, 16), "0100030001001100");
    EXPECT_EQ(json["recordedAt"], IsoTimestamp(1765000000123));
}

TEST(ResultStoreTest, AStoreThatCannotBeUsedIsReportedOnceAndNothingClaimsASave) {
    ScopedWorkDir dir;
    test::WriteWholeFile(dir.File("notAFolder"), "x");
    test::WriteWholeFile(dir.File("corrupt.db"), std::string(8192, '\x5a'));
    for (const std::string& file : {dir.File("notAFolder/VexloModbusTester.db"), dir.File("corrupt.db")}) {
        SCOPED_TRACE(file);
        ResultHistory shown;
        ResultRecorder recorder(shown);
        const auto report = recorder.Open(file);
        ASSERT_TRUE(report);
        EXPECT_NE(report->find(file), std::string::npos);
        EXPECT_FALSE(recorder.Saving());
        // A new part, not saved, and no second report: it was told at opening.
        const auto first = recorder.Record(Result(1), ResultSource::LastResult, Line(), 1);
        EXPECT_EQ(std::tuple(first.newPart, first.saved, first.report), std::tuple(true, false, std::nullopt));
        EXPECT_FALSE(recorder.Record(Result(1), ResultSource::LastResult, Line(), 2).newPart);
        ASSERT_EQ(shown.Entries().size(), 1u);
        EXPECT_EQ(shown.Entries()[0].id, 0);
    }
    // The corrupt file was left as it was, for whoever wants to rescue it.
    EXPECT_EQ(test::ReadWholeFile(dir.File("corrupt.db")), std::string(8192, '\x5a'));
}

TEST(ResultStoreTest, TimesCarryTheirUtcOffset) {
    test::ScopedTimeZone zone("Europe/Paris");
    EXPECT_EQ(IsoTimestamp(1765000000123), "2025-12-06T06:46:40.123+01:00");
    EXPECT_EQ(IsoTimestamp(1751000000000), "2025-06-27T06:53:20.000+02:00");
    const struct {
        const char* text;
        std::optional<std::int64_t> ms;
    } cases[] = {
        {"2025-12-06T06:46:40.123+01:00", 1765000000123},
        {"2025-12-06T05:46:40.123Z", 1765000000123},
        {"2025-12-06 06:46:40.123+0100", 1765000000123},
        {"2025-12-06T06:46:40.123", 1765000000123},  // local time
        {"2025-12-06T06:46", 1765000000000 - 40000},
        {"2025-12-06", 1764975600000},
        {"2025-13-06", std::nullopt},
        {"2025-12-06T24:00", std::nullopt},
        {"2025-12-06T06:46:40.123+01:00x", std::nullopt},
        {"2025-12-06T06:46:40.", std::nullopt},
        {"20251206", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseIsoTimestamp(c.text), c.ms) << c.text;
}

// A disk filling up: one report naming the file, later results still shown, every row said saved in the file.
TEST(ResultStoreTest, AFullDiskLosesNoSavedRowAndClaimsNoSave) {
    ScopedWorkDir dir;
    const std::string file = dir.File(ResultStore::kFileName);
    ResultHistory shown;
    ResultRecorder recorder(shown);
    ASSERT_EQ(recorder.Open(file), std::nullopt);
    std::vector<std::int64_t> saved;
    int reports = 0;
    // Files may not grow past 512 KiB for a while: writes beyond fail as on a full disk.
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const rlimit full{512 * 1024, before.rlim_max};
    setrlimit(RLIMIT_FSIZE, &full);
    signal(SIGXFSZ, SIG_IGN);
    for (std::int32_t i = 0; i < 300; ++i) {
        const auto outcome = recorder.Record(Result(i), ResultSource::Fifo, Line(), i);
        reports += outcome.report ? 1 : 0;
        EXPECT_NE(outcome.report.value_or(file).find(file), std::string::npos) << outcome.report.value_or("");
        EXPECT_TRUE(outcome.newPart);
        if (outcome.saved) saved.push_back(outcome.row.id);
    }
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(std::tuple(reports, shown.Entries().size(), std::count(saved.begin(), saved.end(), 0)),
              std::tuple(1, 300u, 0));
    ASSERT_GT(saved.size(), 0u);
    ASSERT_LT(saved.size(), 300u);
    ResultStore store;
    ASSERT_EQ(store.Open(file), std::nullopt);
    EXPECT_EQ(store.IntegrityCheck(), "ok");
    EXPECT_EQ(store.Rows({}).size(), saved.size());
}

// A recording program killed at random moments loses no committed row and leaves a sound file.
TEST(ResultStoreTest, KilledWhileRecordingLosesNoCommittedRow) {
    ScopedWorkDir dir;
    const std::string file = dir.File(ResultStore::kFileName);
    std::mt19937 random(20261207);
    std::set<std::int64_t> committed;
    for (int run = 0; run < 6; ++run) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeEnds[0]);
            ResultHistory shown;
            ResultRecorder recorder(shown);
            if (recorder.Open(file)) _exit(2);
            for (std::int32_t i = 0;; ++i) {
                (void)recorder.EndOfCycleSeen("COM1", 1, i);
                const auto outcome = recorder.Record(Result(run * 100000 + i), ResultSource::Sequencer, Line(), i);
                if (!outcome.saved) _exit(3);
                if (write(pipeEnds[1], &outcome.row.id, sizeof outcome.row.id) != sizeof outcome.row.id) _exit(4);
            }
        }
        close(pipeEnds[1]);
        const int rowsBeforeKill = std::uniform_int_distribution<int>(1, 40)(random);
        std::int64_t id = 0;
        for (int i = 0; i < rowsBeforeKill && read(pipeEnds[0], &id, sizeof id) == sizeof id; ++i) committed.insert(id);
        kill(child, SIGKILL);
        while (read(pipeEnds[0], &id, sizeof id) == sizeof id) committed.insert(id);
        close(pipeEnds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the recording child stopped by itself: " << status;
    }
    ResultStore store;
    ASSERT_EQ(store.Open(file), std::nullopt);
    EXPECT_EQ(store.IntegrityCheck(), "ok");
    std::set<std::int64_t> stored;
    for (const auto& row : store.Rows({})) stored.insert(row.id);
    for (std::int64_t id : committed) EXPECT_TRUE(stored.count(id)) << "row " << id << " was lost";
}

// Noon of 6 December 2026 in Paris: the log's lines and file names are in local time.
constexpr std::int64_t kNoonMs = 1796554800000;
constexpr std::int64_t kDayMs = 86400000;

// A day's lines with their milliseconds; the next day has a file of its own; an earlier log is appended to.
TEST(SessionLogTest, EachDayHasItsFileAndAnEarlierLogIsAppendedTo) {
    test::ScopedTimeZone zone("Europe/Paris");
    test::ScopedWorkDir dir;
    test::WriteWholeFile(dir.File("VexloModbusTester-2026-12-06.log"), "earlier session\n");
    SessionLog log(dir.Path());
    EXPECT_EQ(SessionLog::FileName(kNoonMs), "VexloModbusTester-2026-12-06.log");
    EXPECT_EQ(log.Append("<S>: 01 03 00 0", kNoonMs + 7), std::nullopt);
    EXPECT_EQ(log.Append("<S>: 01 03 00 1499", kNoonMs + 1506), std::nullopt);
    EXPECT_EQ(log.Append("second day", kNoonMs + kDayMs), std::nullopt);
    EXPECT_EQ(
        test::ReadWholeFile(dir.File("VexloModbusTester-2026-12-06.log")),
        "earlier session\n2026-12-06 12:00:00.007  <S>: 01 03 00 0\n2026-12-06 12:00:01.506  <S>: 01 03 00 1499\n");
    EXPECT_EQ(test::ReadWholeFile(dir.File("VexloModbusTester-2026-12-07.log")),
              "2026-12-07 12:00:00.000  second day\n");
}

// A plain file where the folder should be refuses even a root user; once the folder is there, lines go on.
TEST(SessionLogTest, AFailureIsReportedOnceAndWritingResumesAfterARecovery) {
    test::ScopedTimeZone zone("Europe/Paris");
    test::ScopedWorkDir dir;
    test::WriteWholeFile(dir.File("not-a-folder"), "");
    SessionLog log(dir.File("not-a-folder"));
    EXPECT_TRUE(log.Append("line 1", kNoonMs).has_value());
    EXPECT_EQ(log.Append("line 2", kNoonMs + 1), std::nullopt);
    std::remove(dir.File("not-a-folder").c_str());
    ASSERT_EQ(::mkdir(dir.File("not-a-folder").c_str(), 0700), 0);
    EXPECT_EQ(log.Append("line 4", kNoonMs + 3), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(dir.File("not-a-folder/VexloModbusTester-2026-12-06.log")),
              "2026-12-06 12:00:00.003  line 4\n");
}

}  // namespace
}  // namespace vexlo
