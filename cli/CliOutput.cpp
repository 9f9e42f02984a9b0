#include "cli/CliOutput.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "cli/CliFiles.h"
#include "common/LocalTimestamp.h"
#include "common/TextFormat.h"

namespace vexlo::cli {
namespace {

// A CSV field: quoted when it holds a separator, a quote or a line end.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// The value the instrument sent in thousandths, as the nearest double to its three decimals (so
// that JSON shows 6.137, not 6.1370000000000005).
double Thousandths(double value) { return std::round(value * 1000.0) / 1000.0; }

}  // namespace

bool OutputChannel::Write(const std::string& text) {
    if (error != 0) return false;
    if (std::fputs(text.c_str(), file) < 0 || std::fflush(file) != 0) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

bool OutputChannel::ReaderGone() {
    // A pipe whose reader went away shows an error condition at once: a run that prints nothing for
    // a while (a cycle in progress) notices it without waiting for its next write.
    if (error == 0) {
        if (PipeReaderGone(file)) error = EPIPE;
    }
    return error == EPIPE;
}

std::string OutputChannel::FailureMessage() const {
    return "vexlo-cli: cannot write to " + name + ": " + std::strerror(error);
}

nlohmann::ordered_json ResultRow::Json() const {
    nlohmann::ordered_json json;
    json["time"] = IsoTimestamp(timeMs);
    json["station"] = station;
    json["program"] = entry.program;
    json["testType"] = entry.testType;
    json["verdict"] = entry.Verdict();
    json["goodPart"] = entry.good;
    json["testReject"] = entry.badTest;
    json["referenceReject"] = entry.badReference;
    json["alarm"] = entry.alarm;
    json["alarmCode"] = alarmCode;
    json["pressure"] = Thousandths(entry.pressure);
    json["pressureUnit"] = entry.pressureUnit;
    json["leak"] = Thousandths(entry.leak);
    json["leakUnit"] = entry.leakUnit;
    return json;
}

std::string ResultRow::CsvHeader() {
    std::string header;
    const nlohmann::ordered_json columns = ResultRow{}.Json();
    for (const auto& [key, value] : columns.items()) header += (header.empty() ? "" : ",") + key;
    return header;
}

std::string ResultRow::CsvLine() const {
    std::string line;
    const nlohmann::ordered_json columns = Json();
    for (const auto& [key, value] : columns.items()) {
        if (!line.empty()) line += ",";
        if (value.is_string()) {
            line += CsvField(value.get<std::string>());
        } else if (value.is_number_float()) {
            line += FormatText("%.3f", value.get<double>());
        } else {
            line += value.dump();
        }
    }
    return line;
}

std::optional<std::string> ResultCsv::Failure(const char* what) const {
    return FormatText("vexlo-cli: cannot %s %s: %s", what, path.c_str(), std::strerror(errno));
}

std::optional<std::string> ResultCsv::Prepare() {
    const FileFacts facts = LookAt(path);
    regularFile = facts.regular;
    if (append && facts.exists && regularFile && facts.size > 0) {
        std::ifstream file(path, std::ios::binary);
        std::string first;
        if (!std::getline(file, first)) return Failure("read");
        if (!first.empty() && first.back() == '\r') first.pop_back();
        if (first != ResultRow::CsvHeader()) {
            return "vexlo-cli: --append: " + path + " has another header than \"" + ResultRow::CsvHeader() +
                   "\"; not appended";
        }
        return std::nullopt;
    }
    if (append || !regularFile) {
        return AppendToFile(path, ResultRow::CsvHeader() + "\n", true, false) ? std::nullopt : Failure("write to");
    }
    return WriteWhole();
}

std::optional<std::string> ResultCsv::Add(const ResultRow& row) {
    lines.push_back(row.CsvLine());
    if (!append && regularFile) return WriteWhole();
    return AppendToFile(path, lines.back() + "\n", false, regularFile) ? std::nullopt : Failure("write to");
}

std::optional<std::string> ResultCsv::WriteWhole() {
    std::string text = ResultRow::CsvHeader() + "\n";
    for (const auto& line : lines) text += line + "\n";
    return ReplaceWholeFile(path, text) ? std::nullopt : Failure("write to");
}

}  // namespace vexlo::cli
