#include "history/SessionLog.h"

#include "history/ResultHistory.h"

namespace vexlo {

std::string SessionLog::FileName(std::int64_t timeMs) {
    return "VexloModbusTester-" + LocalTimestamp(timeMs).substr(0, 10) + ".log";
}

std::string SessionLog::PathFor(std::int64_t timeMs) const {
#if defined(_WIN32)
    return directory + "\\" + FileName(timeMs);
#else
    return directory + "/" + FileName(timeMs);
#endif
}

std::optional<std::string> SessionLog::Append(const std::string& line, std::int64_t timeMs) {
    const std::string path = PathFor(timeMs);
    // A new day starts a new file.
    if (path != openPath || !file.is_open()) {
        file.close();
        file.clear();
        file.open(path, std::ios::binary | std::ios::app);
        openPath = path;
    }
    if (file.is_open()) {
        file << LocalTimestamp(timeMs) << "  " << line << '\n';
        file.flush();
    }
    if (file.is_open() && file.good()) {
        failing = false;
        return std::nullopt;
    }
    file.close();
    if (failing) return std::nullopt;
    failing = true;
    return "The session log could not be written to " + path + ".";
}

}  // namespace vexlo
