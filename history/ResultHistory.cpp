#include "history/ResultHistory.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "common/TextFormat.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

constexpr int kColumns = 15;

// A field as CSV wants it: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::optional<std::vector<std::string>> SplitCsvLine(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) return std::nullopt;
    return fields;
}

// Numbers in C notation whatever the locale: the decimal mark is always a dot.
std::optional<double> ParseNumber(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0;
    if (!(in >> value) || !in.eof()) return std::nullopt;
    return value;
}

}  // namespace

HistoryEntry HistoryEntry::From(const ResultRecord& result, std::int64_t timeMs) {
    const std::uint8_t relays = result.RelayImage();
    HistoryEntry entry;
    entry.timeMs = timeMs;
    entry.program = result.ProgramIndex() + 1;
    entry.testType = result.TestType();
    entry.good = (relays & relay::kGoodPart) != 0;
    entry.badTest = (relays & relay::kTestReject) != 0;
    entry.badReference = (relays & relay::kReferenceReject) != 0;
    entry.alarm = (relays & relay::kAlarm) != 0;
    entry.pressure = result.Measure(0) * 0.001;
    entry.pressureUnit = UnitText(UnitCode(result.Unit(0)));
    entry.leak = result.Measure(1) * 0.001;
    entry.leakUnit = UnitText(UnitCode(result.Unit(1)));
    entry.alarmCode = result.AlarmCode();
    return entry;
}

void ResultHistory::Add(const HistoryEntry& entry) {
    entries.push_back(entry);
    Changed();
}

void ResultHistory::Replace(std::vector<HistoryEntry> shown) {
    entries = std::move(shown);
    ++resets;
    Changed();
}

void ResultHistory::Clear() {
    entries.clear();
    ++resets;
    Changed();
}

void ResultHistory::SetRejectLimits(int program, std::optional<RejectLimits> limits) {
    if (program < 1 || program > static_cast<int>(rejectLimits.size())) return;
    rejectLimits[static_cast<size_t>(program - 1)] = limits;
    Changed();
}

std::optional<RejectLimits> ResultHistory::RejectLimitsOf(int program) const {
    if (program < 1 || program > static_cast<int>(rejectLimits.size())) return std::nullopt;
    return rejectLimits[static_cast<size_t>(program - 1)];
}

std::string HistoryEntry::Verdict() const {
    if (alarm) return "Alarm";
    if (badReference) return "Reference reject";
    if (badTest) return "Test reject";
    if (Passed()) return "Pass";
    return "No verdict";
}

namespace {

template <typename Keep>
HistoryStatistics StatisticsOf(const std::vector<HistoryEntry>& entries, Keep keep) {
    HistoryStatistics stats;
    double sum = 0;
    for (const auto& entry : entries) {
        if (!keep(entry)) continue;
        ++stats.count;
        if (entry.Passed()) ++stats.passed;
        sum += entry.leak;
    }
    if (stats.count == 0) return stats;
    stats.passRate = static_cast<double>(stats.passed) / static_cast<double>(stats.count);
    stats.meanLeak = sum / static_cast<double>(stats.count);
    if (stats.count > 1) {
        double squares = 0;
        for (const auto& entry : entries) {
            if (keep(entry)) squares += (entry.leak - stats.meanLeak) * (entry.leak - stats.meanLeak);
        }
        stats.leakDeviation = std::sqrt(squares / static_cast<double>(stats.count - 1));
    }
    return stats;
}

}  // namespace

HistoryStatistics ResultHistory::Statistics() const {
    return StatisticsOf(entries, [](const HistoryEntry&) { return true; });
}

HistoryStatistics ResultHistory::Statistics(int program) const {
    return StatisticsOf(entries, [program](const HistoryEntry& entry) { return entry.program == program; });
}

const char* ResultHistory::CsvHeader() {
    return "time,program,test_type,verdict,alarm_code,good,bad_test,bad_reference,alarm,pressure,pressure_unit,leak,"
           "leak_unit,part_id,operator";
}

std::string ResultHistory::CsvLine(const HistoryEntry& entry) {
    return IsoTimestamp(entry.timeMs) + FormatText(",%d,%d,", entry.program, entry.testType) +
           CsvField(entry.Verdict()) +
           FormatText(",%d,%d,%d,%d,%d,%.3f,", entry.alarmCode, entry.good ? 1 : 0, entry.badTest ? 1 : 0,
                      entry.badReference ? 1 : 0, entry.alarm ? 1 : 0, entry.pressure) +
           CsvField(entry.pressureUnit) + FormatText(",%.3f,", entry.leak) + CsvField(entry.leakUnit) + "," +
           CsvField(entry.partId) + "," + CsvField(entry.operatorName);
}

std::string ResultHistory::Csv() const {
    std::string text = std::string(CsvHeader()) + "\n";
    for (const auto& entry : entries) text += CsvLine(entry) + "\n";
    return text;
}

std::optional<std::vector<HistoryEntry>> ResultHistory::ParseCsv(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != CsvHeader()) return std::nullopt;
    std::vector<HistoryEntry> entries;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const auto fields = SplitCsvLine(line);
        if (!fields || fields->size() != kColumns) return std::nullopt;
        const auto& f = *fields;
        const auto time = ParseIsoTimestamp(f[0]);
        // program, test type, alarm code, the four bits, pressure, leak
        const std::size_t numberColumns[] = {1, 2, 4, 5, 6, 7, 8, 9, 11};
        std::optional<double> numbers[9];
        for (std::size_t i = 0; i < 9; ++i) numbers[i] = ParseNumber(f[numberColumns[i]]);
        if (!time) return std::nullopt;
        for (const auto& number : numbers) {
            if (!number) return std::nullopt;
        }
        HistoryEntry entry;
        entry.timeMs = *time;
        entry.program = static_cast<int>(*numbers[0]);
        entry.testType = static_cast<int>(*numbers[1]);
        entry.alarmCode = static_cast<int>(*numbers[2]);
        entry.good = *numbers[3] != 0;
        entry.badTest = *numbers[4] != 0;
        entry.badReference = *numbers[5] != 0;
        entry.alarm = *numbers[6] != 0;
        entry.pressure = *numbers[7];
        entry.pressureUnit = f[10];
        entry.leak = *numbers[8];
        entry.leakUnit = f[12];
        entry.partId = f[13];
        entry.operatorName = f[14];
        // The verdict column is the bits' verdict: a file that says otherwise was edited.
        if (f[3] != entry.Verdict()) return std::nullopt;
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace vexlo
