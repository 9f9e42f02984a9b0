// The results store: what recording one result adds to the command that read it (commit and fsync
// included, on the disk of the temporary folder), and a store of 100 000 results: opening it with its
// latest batch shown in the history window, and a since-query with the JSON that `history --since`
// prints.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "history/ResultJson.h"
#include "history/ResultRecorder.h"
#include "history/ui/HistoryWindow.h"

namespace {

using namespace vexlo;

constexpr int kStoredResults = 100000;
constexpr std::int64_t kFirstMs = 1765000000000;

ResultRecord Result(std::int32_t n) {
    ResultRecord r;
    r.bytes[0] = static_cast<std::uint8_t>(n % 2);
    r.bytes[4] = n % 4 == 0 ? 0x02 : 0x01;
    for (int i = 0; i < 4; ++i) r.bytes[16 + i] = static_cast<std::uint8_t>(n >> (8 * i));
    r.bytes[20] = 0xe8;  // leak unit code 1
    r.bytes[21] = 0x03;
    return r;
}

std::string TempDir(const char* name) {
    const auto dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

void BM_RecordResultWithCommit(benchmark::State& state) {
    const std::string file = ResultStore::FileIn(TempDir("vexlo-record-bench"));
    ResultHistory shown;
    ResultRecorder recorder(shown);
    if (recorder.Open(file)) state.SkipWithError("store not opened");
    const ResultContext line{"COM1", 1, RejectLimits{2500, 1500, 1000}, "", "bench"};
    std::int32_t n = 0;
    for (auto _ : state) {
        ++n;
        const auto outcome = recorder.Record(Result(n), ResultSource::Fifo, line, kFirstMs + n);
        if (!outcome.saved) state.SkipWithError("not saved");
        // The shown history would grow without end: only the store's cost is measured.
        if (shown.Entries().size() > 1000) shown.Clear();
    }
}
BENCHMARK(BM_RecordResultWithCommit)->Unit(benchmark::kMillisecond)->UseRealTime();

// A store of 100 000 results in one batch, made once: 1000 recorded, then copied in bulk.
const std::string& LargeStore() {
    static const std::string file = [] {
        const std::string path = ResultStore::FileIn(TempDir("vexlo-large-store"));
        {
            ResultStore store;
            if (store.Open(path)) std::abort();
            for (int n = 0; n < 1000; ++n) {
                (void)store.Record(Result(n), ResultSource::Fifo, {"COM1", 1, std::nullopt, "", ""}, kFirstMs + n,
                                   false);
            }
        }
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        const char* copy =
            "INSERT INTO results(recordedMs, recordedAt, source, cycleEndedAt, cycleEndedMs, port, station, program, "
            "testType, verdict, alarmCode, pressure, pressureUnit, leak, leakUnit, pStep, pStepUnit, fStep, fStepUnit, "
            "pDown, pDownUnit, fDown, fDownUnit, pContactUp, pContactUpUnit, pContactDown, pContactDownUnit, raw, "
            "rejectTest, rejectRef, rejectUnit, rejectTestRaw, rejectRefRaw, rejectUnitRaw, partId, operator, "
            "batchId) SELECT recordedMs + (SELECT max(recordedMs) - min(recordedMs) + 1 FROM results), recordedAt, "
            "source, cycleEndedAt, cycleEndedMs, port, station, program, testType, verdict, alarmCode, pressure, "
            "pressureUnit, leak, leakUnit, pStep, pStepUnit, fStep, fStepUnit, pDown, pDownUnit, fDown, fDownUnit, "
            "pContactUp, pContactUpUnit, pContactDown, pContactDownUnit, raw, rejectTest, rejectRef, rejectUnit, "
            "rejectTestRaw, rejectRefRaw, rejectUnitRaw, partId, operator, batchId FROM results ORDER BY id";
        for (int i = 0; i < 7; ++i) sqlite3_exec(db, copy, nullptr, nullptr, nullptr);
        sqlite3_exec(db, "DELETE FROM results WHERE id > 100000", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return path;
    }();
    return file;
}

void BM_OpenStoreAndShowLatestBatch(benchmark::State& state) {
    const std::string& file = LargeStore();
    for (auto _ : state) {
        ResultHistory shown;
        ResultRecorder recorder(shown);
        if (recorder.Open(file)) state.SkipWithError("store not opened");
        HistoryWindow window(shown, &recorder);
        window.show();
        QApplication::processEvents();
        if (shown.Entries().size() != static_cast<std::size_t>(kStoredResults)) state.SkipWithError("rows missing");
    }
}
BENCHMARK(BM_OpenStoreAndShowLatestBatch)->Unit(benchmark::kMillisecond)->UseRealTime();

// `history --since`: the rows recorded since a time, decoded; the argument is how many rows match.
void BM_SinceQuery(benchmark::State& state) {
    ResultStore store;
    if (store.Open(LargeStore())) state.SkipWithError("store not opened");
    const auto all = store.Rows(RowQuery{std::nullopt, std::nullopt, std::nullopt, 1});
    const std::int64_t since = all.back().recordedMs - state.range(0) + 1;
    for (auto _ : state) {
        const auto rows = store.Rows(RowQuery{std::nullopt, since, std::nullopt, 0});
        if (rows.size() != static_cast<std::size_t>(state.range(0))) state.SkipWithError("wrong row count");
    }
}
BENCHMARK(BM_SinceQuery)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same, printed as the JSON of `history --since --json`.
void BM_SinceQueryAsJson(benchmark::State& state) {
    ResultStore store;
    if (store.Open(LargeStore())) state.SkipWithError("store not opened");
    const auto all = store.Rows(RowQuery{std::nullopt, std::nullopt, std::nullopt, 1});
    const std::int64_t since = all.back().recordedMs - state.range(0) + 1;
    for (auto _ : state) {
        const auto rows = store.Rows(RowQuery{std::nullopt, since, std::nullopt, 0});
        const std::string text = HistoryJson(rows).dump();
        benchmark::DoNotOptimize(text.data());
        if (rows.size() != static_cast<std::size_t>(state.range(0))) state.SkipWithError("wrong row count");
    }
}
BENCHMARK(BM_SinceQueryAsJson)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
