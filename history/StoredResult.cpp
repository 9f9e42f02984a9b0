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

HistoryEntry StoredResult::Entry() const {
    HistoryEntry entry = HistoryEntry::From(raw, recordedMs);
    entry.id = id;
    if (limits) entry.limits = std::array<std::int32_t, 3>{limits->test, limits->reference, limits->unit};
    entry.partId = partId;
    entry.operatorName = operatorName;
    return entry;
}

}  // namespace vexlo
