#include "cli/CliOutput.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>

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

// Writes everything and flushes it to the disk; errno tells why when false.
bool WriteFd(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

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
        pollfd descriptor{fileno(file), 0, 0};
        if (::poll(&descriptor, 1, 0) == 1 && (descriptor.revents & POLLERR) != 0) error = EPIPE;
    }
    return error == EPIPE;
}

std::string OutputChannel::FailureMessage() const {
    return "vexlo-cli: cannot write to " + name + ": " + std::strerror(error);
}

std::string IsoTimestamp(std::int64_t timeMs) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offsetMinutes = local.tm_gmtoff / 60;
    const long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return FormatText("%s.%03d%c%02ld:%02ld", text, static_cast<int>(timeMs % 1000), offsetMinutes < 0 ? '-' : '+',
                      absolute / 60, absolute % 60);
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
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    regularFile = !exists || S_ISREG(info.st_mode);
    if (append && exists && regularFile && info.st_size > 0) {
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
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return Failure("open");
        const bool ok = WriteFd(fd, ResultRow::CsvHeader() + "\n");
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return ok ? std::nullopt : Failure("write to");
    }
    return WriteWhole();
}

std::optional<std::string> ResultCsv::Add(const ResultRow& row) {
    lines.push_back(row.CsvLine());
    if (!append && regularFile) return WriteWhole();
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return Failure("open");
    bool ok = WriteFd(fd, lines.back() + "\n");
    if (ok && regularFile) ok = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok ? std::nullopt : Failure("write to");
}

std::optional<std::string> ResultCsv::WriteWhole() {
    std::string text = ResultRow::CsvHeader() + "\n";
    for (const auto& line : lines) text += line + "\n";
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return Failure("write to");
    bool ok = ::fchmod(fd, 0644) == 0 && WriteFd(fd, text) && ::fsync(fd) == 0;
    int saved = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) ::unlink(temporary.c_str());
    errno = saved;
    return ok ? std::nullopt : Failure("write to");
}

}  // namespace vexlo::cli
