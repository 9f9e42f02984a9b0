#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/LocalTimestamp.h"
#include "instrument/ConsoleReport.h"
#include "instrument/Records.h"

namespace vexlo {

// One decoded test result as the history keeps it.
struct HistoryEntry {
    std::int64_t timeMs = 0;  // milliseconds since the epoch, when the result was recorded
    std::int64_t id = 0;      // the row in the results store; 0 when it was not saved
    int program = 0;          // 1 to 8
    int testType = 0;
    bool good = false;          // relay image bit 0: the part passed
    bool badTest = false;       // bit 1
    bool badReference = false;  // bit 2
    bool alarm = false;         // bit 3
    double pressure = 0;
    std::string pressureUnit;
    double leak = 0;
    std::string leakUnit;
    int alarmCode = 0;
    // The program's reject limits when the result was recorded (test, reference, unit fields).
    std::optional<std::array<std::int32_t, 3>> limits;
    std::string partId;
    std::string operatorName;

    static HistoryEntry From(const ResultRecord& result, std::int64_t timeMs);
    // The good-part bit alone: a reject or alarm bit beside it makes it no pass.
    bool Passed() const { return good && !badTest && !badReference && !alarm; }
    // "Pass", "Test reject", "Reference reject", "Alarm", or "No verdict" when no bit is set.
    std::string Verdict() const;
    bool operator==(const HistoryEntry&) const = default;
};

struct HistoryStatistics {
    std::size_t count = 0;
    std::size_t passed = 0;
    double passRate = 0;  // 0 to 1
    double meanLeak = 0;
    double leakDeviation = 0;  // sample standard deviation; 0 below two results
};

// The results shown: one batch of the store, or the session's when there is no store; their
// statistics, and CSV out and back (one header line, comma separated, dot decimals, UTF-8, times
// ISO 8601 with their UTC offset).
class ResultHistory {
public:
    void Add(const HistoryEntry& entry);
    void Clear();
    void Replace(std::vector<HistoryEntry> shown);
    const std::vector<HistoryEntry>& Entries() const { return entries; }
    HistoryStatistics Statistics() const;
    // Over the results of one program (1 to 8).
    HistoryStatistics Statistics(int program) const;
    // Counts the times the whole list was replaced or cleared (a window then shows it all again).
    std::uint64_t Resets() const { return resets; }

    // The reject limits of a program (1 to 8) while they are known: read, and not written since.
    void SetRejectLimits(int program, std::optional<RejectLimits> limits);
    std::optional<RejectLimits> RejectLimitsOf(int program) const;

    // Called after every change, for a window that shows the history.
    void SetObserver(std::function<void()> observer) { changed = std::move(observer); }

    static const char* CsvHeader();
    static std::string CsvLine(const HistoryEntry& entry);
    std::string Csv() const;
    // Nothing when the text is not a history CSV (header or a line that does not parse).
    static std::optional<std::vector<HistoryEntry>> ParseCsv(const std::string& text);

private:
    void Changed() const {
        if (changed) changed();
    }

    std::vector<HistoryEntry> entries;
    std::uint64_t resets = 0;
    std::array<std::optional<RejectLimits>, 8> rejectLimits;
    std::function<void()> changed;
};

}  // namespace vexlo
