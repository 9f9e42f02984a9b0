#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/ResultHistory.h"
#include "history/SpcCapability.h"
#include "history/SpcChart.h"
#include "history/SpcGauge.h"

namespace vexlo {

// Leak values from a plain file a spreadsheet can write: one value a line, dot decimals, blank
// lines ignored, blanks around a value and a leading UTF-8 byte-order mark allowed. Anything else
// on a line ("2,5", "5abc", "nan") refuses the whole file with the file name and line number.
struct SpcValues {
    std::vector<double> values;
    std::string error;  // empty when the values were read
    bool Ok() const { return error.empty(); }
};
// One number as the values file and the LSL entry take it: dot decimals, nothing before or after it
// but blanks, finite.
std::optional<double> ParseSpcNumber(std::string_view text);
SpcValues ParseSpcValues(std::string_view text, const std::string& fileName);
SpcValues ReadSpcValuesFile(const std::string& path);

// The leak values of one program in recording order, with its "REJECT TEST" as upper limit when
// it is known and in the unit of those leaks.
struct SpcSeries {
    std::vector<double> values;
    std::optional<double> usl;
    std::string unit;       // the leak unit, empty when the values have none in common
    std::string uslReason;  // why there is no upper limit; empty when there is one
};
SpcSeries SpcSeriesOf(const ResultHistory& history, int program);
SpcSeries SpcSeriesOf(const std::vector<HistoryEntry>& entries, int program, std::optional<RejectLimits> limits);

// The upper limit of a program's leaks: its "REJECT TEST" when it was read and is in the unit the
// leaks share (leakUnit: that unit, empty before the first leak, nothing when they are in several).
SpcFigure SpcUpperLimit(std::optional<RejectLimits> limits, const std::optional<std::string>& leakUnit);

// Everything `spc` reports for one series.
struct SpcReport {
    SpcCapability capability;
    std::optional<SpcLimits> limits;
    std::vector<SpcFlag> flags;
};
SpcReport MakeSpcReport(const SpcChart& chart, std::optional<double> usl, std::optional<double> lsl);
SpcReport MakeSpcReport(const std::vector<double>& values, std::optional<double> usl, std::optional<double> lsl);

// The JSON objects of `spc --json` and `gauge --json`: a statistic that does not apply is absent;
// numbers keep full double precision.
nlohmann::json SpcJson(const SpcReport& report);
nlohmann::json GaugeJson(const SpcGaugeStudy& study);

// The same for reading, rounded, one statistic a line, with the reason beside what does not apply.
std::string SpcText(const SpcReport& report);
std::string GaugeText(const SpcGaugeStudy& study);

}  // namespace vexlo
