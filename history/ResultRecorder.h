#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "history/ResultHistory.h"
#include "history/ResultStore.h"

namespace vexlo {

class ResultPublisher;
struct PublishSettings;

// The one place where a decoded, verified result becomes a row: the console's "Read Last Result"
// and "Read FIFO", the cycle sequencer and the command line all call Record. It asks the store
// whether the result is a new tested part, commits it, and only then shows it in the history and
// hands it to the publisher.
//
// When the store file cannot be used, the recorder says so once and keeps results in a store in
// memory for the session: they are shown with no store id, and nothing says they were saved.
class ResultRecorder {
public:
    explicit ResultRecorder(ResultHistory& shown);
    ~ResultRecorder();
    ResultRecorder(const ResultRecorder&) = delete;
    ResultRecorder& operator=(const ResultRecorder&) = delete;

    // Whether Open fills the shown history with the current batch: a window shows it, a command that
    // only records and prints does not need it (a batch can hold a hundred thousand results).
    enum class ShownHistory { Load, Skip };
    // Opens the store file (ResultStore::FileIn of the INI file's folder) and shows its current
    // batch; with publish settings, starts delivering the outbox. The message for the operator when
    // the file cannot be used (results are then kept in memory).
    std::optional<std::string> Open(const std::string& storePath, const PublishSettings* publish = nullptr,
                                    ShownHistory shownHistory = ShownHistory::Load);

    struct Outcome {
        bool newPart = false;  // false: the same part read again, or nothing could be kept
        bool saved = false;    // committed to the store file
        StoredResult row;      // the new row, or the one the read repeats
        // A problem the operator has not been told of yet (each store problem is told once).
        std::optional<std::string> report;
    };
    // Records a result read from the instrument. The next part id (if any) goes with a new row and
    // is cleared; the operator is the session's unless the context names one.
    Outcome Record(const ResultRecord& result, ResultSource source, ResultContext context, std::int64_t nowMs);

    // An end of cycle seen by the sequencer: the next result of that line and station is a new part.
    std::optional<std::string> EndOfCycleSeen(const std::string& port, int station, std::int64_t nowMs);
    // A status read by the poll: its end-of-cycle bit rising (0 seen, then 1) is an end of cycle. A
    // first status that already shows the bit says nothing: that cycle may be long recorded.
    std::optional<std::string> StatusSeen(const std::string& port, int station, const StatusRecord& status,
                                          std::int64_t nowMs);

    void SetNextPartId(std::string partId);
    const std::string& NextPartId() const { return nextPartId; }
    void SetOperator(std::string name) { operatorName = std::move(name); }
    const std::string& Operator() const { return operatorName; }
    // Called when a recorded result took the next part id (the field clears).
    void SetPartIdObserver(std::function<void()> observer) { partIdTaken = std::move(observer); }

    std::optional<Batch> CurrentBatch() { return store.CurrentBatch(); }
    std::vector<Batch> Batches() { return store.Batches(); }
    // Starts a batch (an empty name gives "Batch n") and shows it.
    std::optional<std::string> NewBatch(const std::string& name, std::int64_t nowMs);
    // Shows a batch: results recorded go on to the current batch, and appear when it is shown.
    void ShowBatch(std::int64_t batchId);
    std::int64_t ShownBatch() const { return shownBatch; }

    ResultStore& Store() { return store; }
    // Results are committed to the store file.
    bool Saving() const { return store.IsOpen() && !store.InMemory(); }
    // The store problem of this session, empty when there is none.
    const std::string& Problem() const { return problem; }

private:
    std::optional<std::string> Report(const std::string& failure);
    void FallBackToMemory(const std::string& failure);
    void LoadShown();

    ResultHistory& shown;
    ResultStore store;
    std::unique_ptr<ResultPublisher> publisher;
    std::string nextPartId;
    std::string operatorName;
    std::function<void()> partIdTaken;
    std::int64_t shownBatch = 0;
    std::string problem;
    bool reported = false;
    std::map<std::pair<std::string, int>, bool> endOfCycleShown;
};

}  // namespace vexlo
