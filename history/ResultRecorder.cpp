#include "history/ResultRecorder.h"

#include "history/ResultPublisher.h"

namespace vexlo {

ResultRecorder::ResultRecorder(ResultHistory& shown) : shown(shown) {}

ResultRecorder::~ResultRecorder() = default;

std::optional<std::string> ResultRecorder::Open(const std::string& storePath, const PublishSettings* publish,
                                                ShownHistory shownHistory) {
    publisher.reset();
    problem.clear();
    reported = false;
    if (const auto failure = store.Open(storePath)) {
        FallBackToMemory(*failure);
        return Report(*failure);
    }
    if (publish && publish->Enabled()) publisher = std::make_unique<ResultPublisher>(storePath, *publish);
    if (const auto batch = store.CurrentBatch()) shownBatch = batch->id;
    if (shownHistory == ShownHistory::Load) LoadShown();
    return std::nullopt;
}

void ResultRecorder::FallBackToMemory(const std::string& failure) {
    problem = failure;
    publisher.reset();
    (void)store.OpenInMemory();
    if (const auto batch = store.CurrentBatch()) shownBatch = batch->id;
    // What was shown stays shown: it was recorded, only not saved from now on.
}

std::optional<std::string> ResultRecorder::Report(const std::string& failure) {
    if (reported) return std::nullopt;
    reported = true;
    return failure + " Results are kept for this session only and are not saved.";
}

void ResultRecorder::LoadShown() {
    std::vector<HistoryEntry> entries;
    for (const auto& row : store.Rows(RowQuery{shownBatch, std::nullopt, std::nullopt, 0})) {
        entries.push_back(row.Entry());
    }
    shown.Replace(std::move(entries));
}

ResultRecorder::Outcome ResultRecorder::Record(const ResultRecord& result, ResultSource source, ResultContext context,
                                               std::int64_t nowMs) {
    Outcome outcome;
    if (context.partId.empty()) context.partId = nextPartId;
    if (context.operatorName.empty()) context.operatorName = operatorName;
    ResultStore::Recording recording = store.Record(result, source, context, nowMs, publisher != nullptr);
    if (recording.outcome == ResultStore::Outcome::Failed) {
        // The file failed under us (full disk, removed, locked for too long): keep going in memory.
        outcome.report = Report(recording.error);
        FallBackToMemory(recording.error);
        recording = store.Record(result, source, context, nowMs, false);
        if (recording.outcome == ResultStore::Outcome::Failed) {
            // No store at all, not even in memory: the result is still shown, unsaved, without the
            // one-row rule.
            recording.outcome = ResultStore::Outcome::Recorded;
            recording.row = StoredResult::Read(result, source, context, nowMs, shownBatch);
        }
    }
    outcome.row = recording.row;
    if (recording.outcome == ResultStore::Outcome::SamePart) return outcome;
    outcome.newPart = true;
    outcome.saved = Saving();
    if (!outcome.saved) outcome.row.id = 0;
    if (!nextPartId.empty() && context.partId == nextPartId) {
        nextPartId.clear();
        if (partIdTaken) partIdTaken();
    }
    if (outcome.row.batchId == shownBatch) shown.Add(outcome.row.Entry());
    if (publisher && outcome.saved) publisher->Notify();
    return outcome;
}

std::optional<std::string> ResultRecorder::EndOfCycleSeen(const std::string& port, int station, std::int64_t nowMs) {
    if (const auto failure = store.MarkCycleEnd(port, station, nowMs)) {
        auto report = Report(*failure);
        FallBackToMemory(*failure);
        (void)store.MarkCycleEnd(port, station, nowMs);
        return report;
    }
    return std::nullopt;
}

std::optional<std::string> ResultRecorder::StatusSeen(const std::string& port, int station, const StatusRecord& status,
                                                      std::int64_t nowMs) {
    const bool end = status.EndOfCycle();
    const auto key = std::make_pair(port, station);
    const auto last = endOfCycleShown.find(key);
    const bool rising = last != endOfCycleShown.end() && !last->second && end;
    endOfCycleShown[key] = end;
    return rising ? EndOfCycleSeen(port, station, nowMs) : std::nullopt;
}

void ResultRecorder::SetNextPartId(std::string partId) { nextPartId = std::move(partId); }

std::optional<std::string> ResultRecorder::NewBatch(const std::string& name, std::int64_t nowMs) {
    const auto batch = store.NewBatch(name, nowMs);
    if (!batch) {
        const std::string failure = store.LastError();
        auto report = Report(failure);
        FallBackToMemory(failure);
        if (!store.NewBatch(name, nowMs)) return report;
    }
    ShowBatch(store.CurrentBatch() ? store.CurrentBatch()->id : 0);
    return std::nullopt;
}

void ResultRecorder::ShowBatch(std::int64_t batchId) {
    shownBatch = batchId;
    LoadShown();
}

}  // namespace vexlo
