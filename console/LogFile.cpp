#include "console/LogFile.h"

#include <cstdio>

#include "common/LocalTime.h"

namespace vexlo {

std::string MakeLogFileName(std::time_t now) {
    const std::tm local = LocalTime(now);
    char name[64];
    std::strftime(name, sizeof name, "%Y-%m-%d-%H-%M-%S.TXT", &local);
    return name;
}

DeviceStatus AppendLogLine(const std::string& path, const std::string& text, bool flush) {
    // Binary mode with an explicit CR LF: the same bytes on every platform.
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) return kDeviceFailed;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fwrite("\r\n", 1, 2, file) == 2 && ok;
    if (flush) ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok ? kDeviceOk : kDeviceFailed;
}

TraceCopyResult CopyTraceToFile(const TraceList& trace, std::time_t now,
                                const std::function<bool(const std::string& question)>& confirm) {
    TraceCopyResult result;
    result.fileName = MakeLogFileName(now);
    if (!confirm("Copy to file ?\n" + result.fileName)) return result;
    if (trace.Empty()) {
        result.outcome = TraceCopyResult::Outcome::NothingToCopy;
        return result;
    }
    for (const auto& line : trace.Lines()) {
        if (AppendLogLine(result.fileName, line, false) != kDeviceOk) ++result.linesFailed;
    }
    if (AppendLogLine(result.fileName, "", true) != kDeviceOk) ++result.linesFailed;
    result.outcome = result.linesFailed == 0 ? TraceCopyResult::Outcome::Written : TraceCopyResult::Outcome::Failed;
    return result;
}

}  // namespace vexlo
