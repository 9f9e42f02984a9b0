#include "history/ResultStore.h"

namespace vexlo {

std::string RawHex(const ResultRecord& raw) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : raw.bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

const char* SourceName(ResultSource source) {
    switch (source) {
        case ResultSource::LastResult:
            return "last result";
        case ResultSource::Fifo:
            return "FIFO";
        case ResultSource::Sequencer:
            return "sequencer";
    }
    return "last result";
}

StoredResult StoredResult::Read(const ResultRecord& result, ResultSource source, const ResultContext& context,
                                std::int64_t nowMs, std::int64_t batchId) {
    StoredResult row;
    row.recordedMs = nowMs;
    row.source = source;
    row.port = context.port;
    row.station = context.station;
    row.raw = result;
    row.limits = context.limits;
    row.partId = context.partId;
    row.operatorName = context.operatorName;
    row.batchId = batchId;
    return row;
}

HistoryEntry StoredResult::Entry() const {
    HistoryEntry entry = HistoryEntry::From(raw, recordedMs);
    entry.id = id;
    if (limits) entry.limits = std::array<std::int32_t, 3>{limits->test, limits->reference, limits->unit};
    entry.partId = partId;
    entry.operatorName = operatorName;
    return entry;
}

}  // namespace vexlo
