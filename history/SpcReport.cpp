#include "history/SpcReport.h"

#include <charconv>
#include <cmath>
#include <fstream>

#include "common/TextFormat.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

// A values file is read whole; beyond this it is no list a person or a spreadsheet wrote.
constexpr std::uintmax_t kMaxValuesFileBytes = 64u << 20;

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<double> StrictNumber(std::string_view text) {
    // from_chars takes no "+" of its own: one is allowed before a digit, never before another sign.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-') return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

void PutFigure(nlohmann::json& object, const char* key, const SpcFigure& figure) {
    if (figure.value) object[key] = *figure.value;
}

std::string FigureLine(const char* label, const SpcFigure& figure, const char* format = "%.4g") {
    if (!figure.value) return FormatText("%-14s - (%s)\n", label, figure.reason.c_str());
    return FormatText("%-14s ", label) + FormatText(format, *figure.value) + "\n";
}

}  // namespace

std::optional<double> ParseSpcNumber(std::string_view text) { return StrictNumber(Trimmed(text)); }

SpcValues ParseSpcValues(std::string_view text, const std::string& fileName) {
    SpcValues result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        const auto value = StrictNumber(line);
        if (!value) {
            // Enough of the line to recognise it, never a whole binary file.
            const std::string shown(line.substr(0, 40));
            result.values.clear();
            result.error = FormatText("%s, line %u: \"%s%s\" is not a number", fileName.c_str(),
                                      static_cast<unsigned>(lineNumber), shown.c_str(), line.size() > 40 ? "..." : "");
            return result;
        }
        result.values.push_back(*value);
    }
    if (result.values.empty()) result.error = fileName + ": the file holds no values";
    return result;
}

SpcValues ReadSpcValuesFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {{}, path + ": the file cannot be opened"};
    file.seekg(0, std::ios::end);
    const auto size = static_cast<std::streamoff>(file.tellg());
    if (size < 0) return {{}, path + ": the file cannot be read"};
    if (static_cast<std::uintmax_t>(size) > kMaxValuesFileBytes) {
        return {{}, path + ": the file is larger than 64 MiB"};
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(text.data(), size)) return {{}, path + ": the file cannot be read"};
    return ParseSpcValues(text, path);
}

SpcFigure SpcUpperLimit(std::optional<RejectLimits> limits, const std::optional<std::string>& leakUnit) {
    if (!limits) return SpcFigure::None("REJECT TEST of this program not read");
    if (!leakUnit) return SpcFigure::None("the leaks of this program are in more than one unit");
    const std::string limitUnit = UnitText(UnitCode(limits->unit));
    if (!leakUnit->empty() && limitUnit != *leakUnit) {
        return SpcFigure::None("REJECT TEST is in " + limitUnit + ", the leaks in " + *leakUnit);
    }
    return SpcFigure::Of(limits->test * 0.001);
}

SpcSeries SpcSeriesOf(const std::vector<HistoryEntry>& entries, int program, std::optional<RejectLimits> limits) {
    SpcSeries series;
    std::optional<std::string> unit = std::string();
    for (const auto& entry : entries) {
        if (entry.program != program) continue;
        if (series.values.empty()) unit = entry.leakUnit;
        if (unit && *unit != entry.leakUnit) unit.reset();
        series.values.push_back(entry.leak);
    }
    series.unit = unit.value_or(std::string());
    const SpcFigure usl = SpcUpperLimit(limits, unit);
    series.usl = usl.value;
    series.uslReason = usl.reason;
    return series;
}

SpcSeries SpcSeriesOf(const ResultHistory& history, int program) {
    return SpcSeriesOf(history.Entries(), program, history.RejectLimitsOf(program));
}

SpcReport MakeSpcReport(const SpcChart& chart, std::optional<double> usl, std::optional<double> lsl) {
    return {CapabilityOf(chart, usl, lsl), chart.Limits(), chart.Flags()};
}

SpcReport MakeSpcReport(const std::vector<double>& values, std::optional<double> usl, std::optional<double> lsl) {
    SpcChart chart;
    for (double value : values) chart.Append(value);
    return MakeSpcReport(chart, usl, lsl);
}

nlohmann::json SpcJson(const SpcReport& report) {
    const SpcCapability& c = report.capability;
    nlohmann::json object = nlohmann::json::object();
    object["n"] = c.n;
    PutFigure(object, "mean", c.mean);
    PutFigure(object, "stdDev", c.stdDev);
    PutFigure(object, "sigmaWithin", c.sigmaWithin);
    PutFigure(object, "mrBar", c.mrBar);
    if (report.limits) {
        object["ucl"] = report.limits->ucl;
        object["lcl"] = report.limits->lcl;
        object["mrUcl"] = report.limits->mrUcl;
    }
    PutFigure(object, "cp", c.cp);
    PutFigure(object, "cpk", c.cpk);
    PutFigure(object, "pp", c.pp);
    PutFigure(object, "ppk", c.ppk);
    PutFigure(object, "cpkLower95", c.cpkLower95);
    PutFigure(object, "cpkUpper95", c.cpkUpper95);
    nlohmann::json flags = nlohmann::json::array();
    for (const auto& flag : report.flags) flags.push_back({{"index", flag.index}, {"rules", flag.rules}});
    object["flags"] = std::move(flags);
    return object;
}

nlohmann::json GaugeJson(const SpcGaugeStudy& study) {
    nlohmann::json object = nlohmann::json::object();
    object["n"] = study.n;
    PutFigure(object, "mean", study.mean);
    PutFigure(object, "stdDev", study.stdDev);
    PutFigure(object, "bias", study.bias);
    PutFigure(object, "cg", study.cg);
    PutFigure(object, "cgk", study.cgk);
    object["passed"] = study.passed;
    return object;
}

std::string SpcText(const SpcReport& report) {
    const SpcCapability& c = report.capability;
    std::string text = FormatText("%-14s %u\n", "n", static_cast<unsigned>(c.n));
    text += FigureLine("mean", c.mean, "%.6g");
    text += FigureLine("s", c.stdDev, "%.6g");
    text += FigureLine("sigma within", c.sigmaWithin, "%.6g");
    text += FigureLine("MR-bar", c.mrBar, "%.6g");
    if (report.limits) {
        text += FormatText("%-14s %.6g / %.6g\n", "UCL / LCL", report.limits->ucl, report.limits->lcl);
        text += FormatText("%-14s %.6g\n", "MR UCL", report.limits->mrUcl);
    }
    text += FigureLine("Cp", c.cp);
    text += FigureLine("Cpk", c.cpk);
    if (c.cpkLower95.value && c.cpkUpper95.value) {
        text += FormatText("%-14s %.4g to %.4g\n", "Cpk 95 %", *c.cpkLower95.value, *c.cpkUpper95.value);
    } else {
        text += FigureLine("Cpk 95 %", c.cpkLower95);
    }
    text += FigureLine("Pp", c.pp);
    text += FigureLine("Ppk", c.ppk);
    if (report.flags.empty()) return text + "No point breaks a run rule.\n";
    for (const auto& flag : report.flags) {
        std::string rules;
        for (int rule : flag.rules) rules += (rules.empty() ? "" : ", ") + std::to_string(rule);
        text += FormatText("Point %u: rule %s\n", static_cast<unsigned>(flag.index), rules.c_str());
    }
    return text;
}

std::string GaugeText(const SpcGaugeStudy& study) {
    std::string text = FormatText("%-14s %u\n", "n", static_cast<unsigned>(study.n));
    text += FigureLine("mean", study.mean, "%.6g");
    text += FigureLine("s", study.stdDev, "%.6g");
    text += FigureLine("bias", study.bias, "%.6g");
    text += FigureLine("Cg", study.cg, "%.3f");
    text += FigureLine("Cgk", study.cgk, "%.3f");
    text += study.passed ? "The tester passes (Cg and Cgk at least 1.33).\n"
                         : "The tester does not pass (Cg and Cgk must be at least 1.33).\n";
    if (!study.note.empty()) text += study.note + "\n";
    return text;
}

}  // namespace vexlo
