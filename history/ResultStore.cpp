#include "history/ResultStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <string_view>

#include "common/LocalTimestamp.h"
#include "common/TextFormat.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

// One prepared statement, finalised when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return ok; }
    Statement& Bind(int index, std::int64_t value) {
        sqlite3_bind_int64(stmt, index, value);
        return *this;
    }
    Statement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
    Statement& Bind(int index, double value) {
        sqlite3_bind_double(stmt, index, value);
        return *this;
    }
    Statement& Bind(int index, const std::string& value) {
        sqlite3_bind_text(stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindNull(int index) {
        sqlite3_bind_null(stmt, index);
        return *this;
    }
    template <typename T>
    Statement& Bind(int index, const std::optional<T>& value) {
        return value ? Bind(index, *value) : BindNull(index);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return ok ? sqlite3_step(stmt) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }

    std::int64_t Int(int column) const { return sqlite3_column_int64(stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(stmt, column) == SQLITE_NULL; }
    std::optional<std::int64_t> OptionalInt(int column) const {
        return IsNull(column) ? std::nullopt : std::optional<std::int64_t>(Int(column));
    }
    // Valid until the next step: for reading without a copy.
    std::string_view View(int column) const {
        const auto* text = sqlite3_column_text(stmt, column);
        return text ? std::string_view(reinterpret_cast<const char*>(text),
                                       static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                    : std::string_view();
    }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* stmt = nullptr;
    bool ok = false;
};

std::optional<ResultRecord> FromHex(std::string_view text) {
    ResultRecord raw;
    if (text.size() != 2 * raw.bytes.size()) return std::nullopt;
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < raw.bytes.size(); ++i) {
        const int high = nibble(text[2 * i]);
        const int low = nibble(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        raw.bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return raw;
}

std::optional<ResultSource> SourceFromName(std::string_view name) {
    for (ResultSource source : {ResultSource::LastResult, ResultSource::Fifo, ResultSource::Sequencer}) {
        if (name == SourceName(source)) return source;
    }
    return std::nullopt;
}

// Version 1. The decoded columns are there for whoever reads the file with SQL; the program reads
// the raw bytes back and decodes them again, so a row says the same in every program.
const char* const kSchema1 = R"sql(
CREATE TABLE batches(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL,
  startedMs INTEGER NOT NULL,
  startedAt TEXT NOT NULL);
CREATE TABLE results(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  recordedMs INTEGER NOT NULL,
  recordedAt TEXT NOT NULL,
  source TEXT NOT NULL,
  cycleEndedAt TEXT,
  cycleEndedMs INTEGER,
  port TEXT NOT NULL,
  station INTEGER NOT NULL,
  program INTEGER NOT NULL,
  testType INTEGER NOT NULL,
  verdict TEXT NOT NULL,
  alarmCode INTEGER NOT NULL,
  pressure REAL, pressureUnit TEXT, leak REAL, leakUnit TEXT,
  pStep REAL, pStepUnit TEXT, fStep REAL, fStepUnit TEXT,
  pDown REAL, pDownUnit TEXT, fDown REAL, fDownUnit TEXT,
  pContactUp REAL, pContactUpUnit TEXT, pContactDown REAL, pContactDownUnit TEXT,
  raw TEXT NOT NULL,
  rejectTest REAL, rejectRef REAL, rejectUnit TEXT, rejectTestRaw INTEGER, rejectRefRaw INTEGER,
  rejectUnitRaw INTEGER,
  partId TEXT NOT NULL DEFAULT '',
  operator TEXT NOT NULL DEFAULT '',
  batchId INTEGER NOT NULL REFERENCES batches(id),
  fifoMatched INTEGER NOT NULL DEFAULT 0);
CREATE INDEX resultsByLine ON results(port, station, id);
CREATE INDEX resultsByBatch ON results(batchId, id);
CREATE INDEX resultsByTime ON results(recordedMs);
CREATE TABLE cycleEnds(
  port TEXT NOT NULL,
  station INTEGER NOT NULL,
  afterId INTEGER NOT NULL,
  endedMs INTEGER NOT NULL,
  PRIMARY KEY(port, station));
CREATE TABLE outbox(resultId INTEGER PRIMARY KEY REFERENCES results(id));
)sql";

constexpr const char* kRowColumns =
    "id, recordedMs, source, cycleEndedMs, port, station, raw, rejectTestRaw, rejectRefRaw, rejectUnitRaw, partId, "
    "operator, batchId";

std::optional<StoredResult> ReadRow(const Statement& s) {
    StoredResult row;
    row.id = s.Int(0);
    row.recordedMs = s.Int(1);
    const auto source = SourceFromName(s.View(2));
    const auto raw = FromHex(s.View(6));
    if (!source || !raw) return std::nullopt;
    row.source = *source;
    row.cycleEndedMs = s.OptionalInt(3);
    row.port = s.Text(4);
    row.station = static_cast<int>(s.Int(5));
    row.raw = *raw;
    if (!s.IsNull(7)) {
        row.limits = RejectLimits{static_cast<std::int32_t>(s.Int(7)), static_cast<std::int32_t>(s.Int(8)),
                                  static_cast<std::int32_t>(s.Int(9))};
    }
    row.partId = s.Text(10);
    row.operatorName = s.Text(11);
    row.batchId = s.Int(12);
    return row;
}

// Rolls back unless committed, so every early return leaves the database as it was.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db(db) {
        // IMMEDIATE takes the write lock now: the rule's reads and the insert see one state of the
        // store even when another program records at the same moment.
        open = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (open) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    explicit operator bool() const { return open; }
    bool Commit() {
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
        open = false;
        return true;
    }

private:
    sqlite3* db;
    bool open = false;
};

}  // namespace

ResultStore::ResultStore() = default;
ResultStore::~ResultStore() { Close(); }

std::string ResultStore::FileIn(const std::string& directory) {
    if (directory.empty()) return kFileName;
    return directory.back() == '/' || directory.back() == '\\' ? directory + kFileName : directory + "/" + kFileName;
}

void ResultStore::Close() {
    if (db) sqlite3_close_v2(db);
    db = nullptr;
}

std::string ResultStore::Failure(const char* what) {
    const std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
    lastError =
        FormatText("The results store %s %s: %s.", inMemory ? "(in memory)" : path.c_str(), what, reason.c_str());
    return lastError;
}

bool ResultStore::Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

std::optional<std::string> ResultStore::Open(const std::string& file) {
    Close();
    path = file;
    inMemory = false;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string error = Failure("could not be opened");
        Close();
        return error;
    }
    return Prepare();
}

std::optional<std::string> ResultStore::OpenInMemory() {
    Close();
    path = ":memory:";
    inMemory = true;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string error = Failure("could not be made");
        Close();
        return error;
    }
    return Prepare();
}

std::optional<std::string> ResultStore::Prepare() {
    // Another program holding the write lock for a moment is waited for, not reported.
    sqlite3_busy_timeout(db, 5000);
    std::optional<std::string> error;
    if (!inMemory && !Exec("PRAGMA journal_mode=WAL")) error = Failure("could not be opened");
    if (!error && !Exec("PRAGMA synchronous=FULL")) error = Failure("could not be opened");
    if (!error && !Exec("PRAGMA foreign_keys=ON")) error = Failure("could not be opened");
    if (!error) error = Migrate();
    if (!error) {
        const auto now =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        if (!EnsureBatch(now)) error = lastError;
    }
    if (error) Close();
    return error;
}

std::optional<std::string> ResultStore::Migrate() {
    int version = -1;
    {
        Statement read(db, "PRAGMA user_version");
        if (read.Step() != SQLITE_ROW) return Failure("could not be read");
        version = static_cast<int>(read.Int(0));
    }
    if (version > kSchemaVersion) {
        lastError = FormatText("The results store %s was made by a newer version of this program (schema %d).",
                               path.c_str(), version);
        return lastError;
    }
    if (version == kSchemaVersion) return std::nullopt;
    Transaction transaction(db);
    if (!transaction) return Failure("could not be written");
    // One step per version; a file of version n runs the steps after n.
    if (version < 1 && !Exec(kSchema1)) return Failure("could not be set up");
    if (!Exec(FormatText("PRAGMA user_version=%d", kSchemaVersion).c_str()) || !transaction.Commit()) {
        return Failure("could not be set up");
    }
    return std::nullopt;
}

std::optional<Batch> ResultStore::EnsureBatch(std::int64_t nowMs) {
    lastError.clear();
    if (auto batch = CurrentBatch()) return batch;
    if (!lastError.empty()) return std::nullopt;
    return NewBatch("Batch 1", nowMs);
}

std::optional<Batch> ResultStore::CurrentBatch() {
    if (!db) return std::nullopt;
    Statement s(db,
                "SELECT b.id, b.name, b.startedMs, (SELECT count(*) FROM results r WHERE r.batchId = b.id) "
                "FROM batches b ORDER BY b.id DESC LIMIT 1");
    const int step = s.Step();
    if (step != SQLITE_ROW) {
        if (step != SQLITE_DONE) Failure("could not be read");
        return std::nullopt;
    }
    return Batch{s.Int(0), s.Text(1), s.Int(2), s.Int(3)};
}

std::optional<Batch> ResultStore::NewBatch(const std::string& name, std::int64_t nowMs) {
    if (!db) return std::nullopt;
    Transaction transaction(db);
    if (!transaction) {
        Failure("could not be written");
        return std::nullopt;
    }
    std::string batchName = name;
    if (batchName.empty()) {
        Statement next(db, "SELECT coalesce(max(id), 0) + 1 FROM batches");
        if (next.Step() != SQLITE_ROW) {
            Failure("could not be read");
            return std::nullopt;
        }
        batchName = FormatText("Batch %lld", static_cast<long long>(next.Int(0)));
    }
    Statement insert(db, "INSERT INTO batches(name, startedMs, startedAt) VALUES(?, ?, ?)");
    insert.Bind(1, batchName).Bind(2, nowMs).Bind(3, IsoTimestamp(nowMs));
    if (!insert.Run()) {
        Failure("could not be written");
        return std::nullopt;
    }
    const std::int64_t id = sqlite3_last_insert_rowid(db);
    if (!transaction.Commit()) {
        Failure("could not be written");
        return std::nullopt;
    }
    return Batch{id, batchName, nowMs, 0};
}

std::vector<Batch> ResultStore::Batches() {
    std::vector<Batch> batches;
    if (!db) return batches;
    Statement s(db,
                "SELECT b.id, b.name, b.startedMs, (SELECT count(*) FROM results r WHERE r.batchId = b.id) "
                "FROM batches b ORDER BY b.id");
    while (s.Step() == SQLITE_ROW) batches.push_back(Batch{s.Int(0), s.Text(1), s.Int(2), s.Int(3)});
    return batches;
}

std::optional<std::string> ResultStore::MarkCycleEnd(const std::string& port, int station, std::int64_t nowMs) {
    if (!db) return lastError;
    Statement s(db,
                "INSERT INTO cycleEnds(port, station, afterId, endedMs) "
                "VALUES(?1, ?2, (SELECT coalesce(max(id), 0) FROM results), ?3) "
                "ON CONFLICT(port, station) DO UPDATE SET afterId = excluded.afterId, endedMs = excluded.endedMs");
    s.Bind(1, port).Bind(2, station).Bind(3, nowMs);
    if (!s.Run()) return Failure("could not be written");
    return std::nullopt;
}

ResultStore::Recording ResultStore::Record(const ResultRecord& result, ResultSource source,
                                           const ResultContext& context, std::int64_t nowMs, bool queue) {
    Recording recording;
    if (!db) {
        recording.error = lastError;
        return recording;
    }
    const auto fail = [&](const char* what) {
        recording.outcome = Outcome::Failed;
        recording.error = Failure(what);
        return recording;
    };
    Transaction transaction(db);
    if (!transaction) return fail("could not be written");

    // The rows of this line and station since the latest end of cycle seen there.
    std::int64_t afterId = 0;
    std::optional<std::int64_t> endedMs;
    {
        Statement end(db, "SELECT afterId, endedMs FROM cycleEnds WHERE port = ? AND station = ?");
        end.Bind(1, context.port).Bind(2, context.station);
        const int step = end.Step();
        if (step == SQLITE_ROW) {
            afterId = end.Int(0);
            endedMs = end.Int(1);
        } else if (step != SQLITE_DONE) {
            return fail("could not be read");
        }
    }
    const std::string hex = RawHex(result);
    bool firstOfCycle = true;
    {
        Statement episode(db,
                          "SELECT id, source, fifoMatched, raw FROM results WHERE port = ? AND station = ? AND id > ? "
                          "ORDER BY id DESC LIMIT ?");
        episode.Bind(1, context.port).Bind(2, context.station).Bind(3, afterId).Bind(4, kRuleWindow);
        int step;
        while ((step = episode.Step()) == SQLITE_ROW) {
            firstOfCycle = false;
            if (episode.Text(3) != hex) continue;
            const bool wasLastResult = episode.Text(1) == SourceName(ResultSource::LastResult);
            // Reading the last result again, or after the FIFO gave the same bytes: the same part.
            // A FIFO read takes its entry off the instrument, so it repeats only a last-result read
            // that no FIFO read has matched yet.
            const bool same = source == ResultSource::LastResult || (wasLastResult && episode.Int(2) == 0);
            if (!same) continue;
            const std::int64_t id = episode.Int(0);
            if (source != ResultSource::LastResult) {
                Statement match(db, "UPDATE results SET fifoMatched = 1 WHERE id = ?");
                match.Bind(1, id);
                if (!match.Run()) return fail("could not be written");
            }
            if (!transaction.Commit()) return fail("could not be written");
            recording.outcome = Outcome::SamePart;
            if (auto row = Row(id)) recording.row = *row;
            return recording;
        }
        if (step != SQLITE_DONE) return fail("could not be read");
    }

    const auto batch = CurrentBatch();
    if (!batch) return fail("could not be read");
    recording.row = StoredResult::Read(result, source, context, nowMs, batch->id);
    StoredResult& row = recording.row;
    // The end time belongs to the newest part: the first one read after the end was seen, unless it
    // came from a FIFO that may hold older parts.
    if (firstOfCycle && source != ResultSource::Fifo) row.cycleEndedMs = endedMs;
    const HistoryEntry entry = row.Entry();

    Statement insert(db,
                     "INSERT INTO results(recordedMs, recordedAt, source, cycleEndedAt, cycleEndedMs, port, station, "
                     "program, testType, verdict, alarmCode, pressure, pressureUnit, leak, leakUnit, pStep, pStepUnit, "
                     "fStep, fStepUnit, pDown, pDownUnit, fDown, fDownUnit, pContactUp, pContactUpUnit, pContactDown, "
                     "pContactDownUnit, raw, rejectTest, rejectRef, rejectUnit, rejectTestRaw, rejectRefRaw, "
                     "rejectUnitRaw, partId, operator, batchId) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, "
                     "?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29, ?30, "
                     "?31, ?32, ?33, ?34, ?35, ?36, ?37)");
    insert.Bind(1, nowMs).Bind(2, IsoTimestamp(nowMs)).Bind(3, std::string(SourceName(source)));
    if (row.cycleEndedMs) {
        insert.Bind(4, IsoTimestamp(*row.cycleEndedMs)).Bind(5, *row.cycleEndedMs);
    } else {
        insert.BindNull(4).BindNull(5);
    }
    insert.Bind(6, row.port).Bind(7, row.station).Bind(8, entry.program).Bind(9, entry.testType);
    insert.Bind(10, entry.Verdict()).Bind(11, static_cast<int>(result.AlarmCode()));
    for (int n = 0; n < static_cast<int>(kMeasureNames.size()); ++n) {
        insert.Bind(12 + 2 * n, result.Measure(n) * 0.001).Bind(13 + 2 * n, UnitText(UnitCode(result.Unit(n))));
    }
    insert.Bind(28, hex);
    if (row.limits) {
        insert.Bind(29, row.limits->test * 0.001).Bind(30, row.limits->reference * 0.001);
        insert.Bind(31, UnitText(UnitCode(row.limits->unit)));
        insert.Bind(32, row.limits->test).Bind(33, row.limits->reference).Bind(34, row.limits->unit);
    } else {
        for (int i = 29; i <= 34; ++i) insert.BindNull(i);
    }
    insert.Bind(35, row.partId).Bind(36, row.operatorName).Bind(37, row.batchId);
    if (!insert.Run()) return fail("could not be written");
    row.id = sqlite3_last_insert_rowid(db);
    if (queue) {
        Statement outbox(db, "INSERT INTO outbox(resultId) VALUES(?)");
        outbox.Bind(1, row.id);
        if (!outbox.Run()) return fail("could not be written");
    }
    if (!transaction.Commit()) {
        row.id = 0;
        return fail("could not be written");
    }
    recording.outcome = Outcome::Recorded;
    return recording;
}

std::vector<StoredResult> ResultStore::Rows(const RowQuery& query) {
    std::vector<StoredResult> rows;
    if (!db) return rows;
    // Only the conditions asked for, so that SQLite can use the index of each. The latest rows
    // first when limited, then turned back into recording order.
    std::string sql = FormatText("SELECT %s FROM results WHERE 1", kRowColumns);
    if (query.batchId) sql += " AND batchId = ?1";
    if (query.sinceMs) sql += " AND recordedMs >= ?2";
    if (query.afterId) sql += " AND id > ?3";
    // "+id" keeps SQLite from walking the whole table in id order to skip the rows before the time.
    const char* order = query.sinceMs && !query.batchId ? "+id" : "id";
    sql += query.limit > 0 ? FormatText(" ORDER BY %s DESC LIMIT %zu", order, query.limit)
                           : FormatText(" ORDER BY %s", order);
    Statement s(db, sql.c_str());
    if (query.batchId) s.Bind(1, *query.batchId);
    if (query.sinceMs) s.Bind(2, *query.sinceMs);
    if (query.afterId) s.Bind(3, *query.afterId);
    int step;
    while ((step = s.Step()) == SQLITE_ROW) {
        if (auto row = ReadRow(s)) rows.push_back(std::move(*row));
    }
    if (step != SQLITE_DONE) Failure("could not be read");
    if (query.limit > 0) std::reverse(rows.begin(), rows.end());
    return rows;
}

std::optional<StoredResult> ResultStore::Row(std::int64_t id) {
    if (!db) return std::nullopt;
    Statement s(db, FormatText("SELECT %s FROM results WHERE id = ?", kRowColumns).c_str());
    s.Bind(1, id);
    if (s.Step() != SQLITE_ROW) return std::nullopt;
    return ReadRow(s);
}

std::optional<StoredResult> ResultStore::NextToPublish() {
    if (!db) return std::nullopt;
    Statement s(db, "SELECT resultId FROM outbox ORDER BY resultId LIMIT 1");
    if (s.Step() != SQLITE_ROW) return std::nullopt;
    return Row(s.Int(0));
}

bool ResultStore::Published(std::int64_t id) {
    if (!db) return false;
    Statement s(db, "DELETE FROM outbox WHERE resultId = ?");
    s.Bind(1, id);
    return s.Run() || (Failure("could not be written"), false);
}

std::int64_t ResultStore::PendingCount() {
    if (!db) return 0;
    Statement s(db, "SELECT count(*) FROM outbox");
    return s.Step() == SQLITE_ROW ? s.Int(0) : 0;
}

std::string ResultStore::IntegrityCheck() {
    if (!db) return lastError;
    Statement s(db, "PRAGMA integrity_check");
    return s.Step() == SQLITE_ROW ? s.Text(0) : Failure("could not be checked");
}

}  // namespace vexlo
