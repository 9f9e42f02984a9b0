// The results store of a build made without SQLite (the Windows cross build of the core here): it
// opens nothing and says so, so the recorder shows results for the session and claims no save.
#include "history/ResultStore.h"

namespace vexlo {
namespace {

const char* const kNoStore = "This build has no SQLite.";

}  // namespace

ResultStore::ResultStore() = default;
ResultStore::~ResultStore() = default;

std::string ResultStore::FileIn(const std::string& directory) {
    if (directory.empty()) return kFileName;
    return directory.back() == '/' || directory.back() == '\\' ? directory + kFileName : directory + "/" + kFileName;
}

std::optional<std::string> ResultStore::Open(const std::string& file) {
    path = file;
    lastError = kNoStore;
    return lastError;
}

std::optional<std::string> ResultStore::OpenInMemory() {
    inMemory = true;
    lastError = kNoStore;
    return lastError;
}

void ResultStore::Close() {}

ResultStore::Recording ResultStore::Record(const ResultRecord&, ResultSource, const ResultContext&, std::int64_t,
                                           bool) {
    Recording recording;
    recording.error = kNoStore;
    return recording;
}

std::optional<std::string> ResultStore::MarkCycleEnd(const std::string&, int, std::int64_t) { return lastError; }
std::optional<Batch> ResultStore::CurrentBatch() { return std::nullopt; }
std::optional<Batch> ResultStore::NewBatch(const std::string&, std::int64_t) { return std::nullopt; }
std::vector<Batch> ResultStore::Batches() { return {}; }
std::vector<StoredResult> ResultStore::Rows(const RowQuery&) { return {}; }
std::optional<StoredResult> ResultStore::Row(std::int64_t) { return std::nullopt; }
std::optional<StoredResult> ResultStore::NextToPublish() { return std::nullopt; }
bool ResultStore::Published(std::int64_t) { return false; }
std::int64_t ResultStore::PendingCount() { return 0; }
std::string ResultStore::IntegrityCheck() { return kNoStore; }

}  // namespace vexlo
