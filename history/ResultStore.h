#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/ResultHistory.h"
#include "instrument/ConsoleReport.h"
#include "instrument/Records.h"

struct sqlite3;

namespace vexlo {

// How a result was read from the instrument.
enum class ResultSource { LastResult, Fifo, Sequencer };
// "last result", "FIFO", "sequencer": the words stored, exported and published.
const char* SourceName(ResultSource source);
// The 72 bytes of a result block as lower-case hex, as stored and published.
std::string RawHex(const ResultRecord& raw);

// What the reader knows about a result besides its 72 bytes.
struct ResultContext {
    std::string port;  // "COM1", a device path, tcp://...: the line the instrument answers on
    int station = 1;
    std::optional<RejectLimits> limits;  // of the result's program, when known
    std::string partId;
    std::string operatorName;
};

// The names of the eight measures of a result, as stored (camelCase), in the order of the block.
inline constexpr std::array<const char*, 8> kMeasureNames = {"pressure", "leak",  "pStep",      "fStep",
                                                             "pDown",    "fDown", "pContactUp", "pContactDown"};

// One recorded result: a row of the store.
struct StoredResult {
    std::int64_t id = 0;  // the store's id; 0 when the result could not be saved
    std::int64_t recordedMs = 0;
    ResultSource source = ResultSource::LastResult;
    std::optional<std::int64_t> cycleEndedMs;
    std::string port;
    int station = 1;
    ResultRecord raw;
    std::optional<RejectLimits> limits;
    std::string partId;
    std::string operatorName;
    std::int64_t batchId = 0;

    // A new row of a result read from the instrument, not yet saved (no id).
    static StoredResult Read(const ResultRecord& result, ResultSource source, const ResultContext& context,
                             std::int64_t nowMs, std::int64_t batchId);

    // The decoded result with the pass rule of the history.
    HistoryEntry Entry() const;
};

struct Batch {
    std::int64_t id = 0;
    std::string name;
    std::int64_t startedMs = 0;
    std::int64_t results = 0;
};

struct RowQuery {
    std::optional<std::int64_t> batchId;
    std::optional<std::int64_t> sinceMs;  // recorded at or after
    std::optional<std::int64_t> afterId;
    std::size_t limit = 0;  // 0: no limit; otherwise the latest rows, still in recording order
};

// The results store: SQLite in WAL mode with synchronous=FULL, so that a committed row survives a
// crash or a power cut, shared by every program of the station (console and command line) through
// SQLite's locks. Every method says whether it worked; a failure leaves the database as it was.
//
// The one-row rule lives in Record: see README, "The results store".
class ResultStore {
public:
    static constexpr const char* kFileName = "VexloModbusTester.db";
    static constexpr int kSchemaVersion = 1;
    // Rows of the latest cycle compared with a new result (more than the instrument's FIFO holds).
    static constexpr int kRuleWindow = 64;

    ResultStore();
    ~ResultStore();
    ResultStore(const ResultStore&) = delete;
    ResultStore& operator=(const ResultStore&) = delete;

    static std::string FileIn(const std::string& directory);

    // Opens or creates the store and brings its schema up to date. Nothing on success; otherwise
    // the reason, naming the file.
    std::optional<std::string> Open(const std::string& path);
    // A store that lasts as long as the program, for when the file cannot be used.
    std::optional<std::string> OpenInMemory();
    bool IsOpen() const { return db != nullptr; }
    bool InMemory() const { return inMemory; }
    const std::string& Path() const { return path; }
    void Close();

    enum class Outcome { Recorded, SamePart, Failed };
    struct Recording {
        Outcome outcome = Outcome::Failed;
        StoredResult row;   // the new row (Recorded), or the row it repeats (SamePart)
        std::string error;  // Failed: what went wrong, naming the file
    };
    // Decides in one transaction whether the result is a new tested part and, if it is, commits it
    // (with an outbox entry when queue is set). Returns after the commit.
    Recording Record(const ResultRecord& result, ResultSource source, const ResultContext& context, std::int64_t nowMs,
                     bool queue);
    // An end of cycle was seen on that line and station: the next result there is a new part.
    std::optional<std::string> MarkCycleEnd(const std::string& port, int station, std::int64_t nowMs);

    // The batch results go to: the newest one. A store without a batch gets "Batch 1".
    std::optional<Batch> CurrentBatch();
    std::optional<Batch> NewBatch(const std::string& name, std::int64_t nowMs);
    std::vector<Batch> Batches();

    std::vector<StoredResult> Rows(const RowQuery& query);
    std::optional<StoredResult> Row(std::int64_t id);

    // The oldest result not yet acknowledged by the broker.
    std::optional<StoredResult> NextToPublish();
    bool Published(std::int64_t id);
    std::int64_t PendingCount();

    // The last error text, naming the file.
    const std::string& LastError() const { return lastError; }
    // PRAGMA integrity_check: "ok" for a sound file.
    std::string IntegrityCheck();

private:
    std::optional<std::string> Prepare();
    std::optional<std::string> Migrate();
    bool Exec(const char* sql);
    std::string Failure(const char* what);
    std::optional<Batch> EnsureBatch(std::int64_t nowMs);

    sqlite3* db = nullptr;
    std::string path;
    bool inMemory = false;
    std::string lastError;
};

}  // namespace vexlo
