#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

namespace vexlo {

// Every traced line, with a millisecond timestamp, appended to a file of the day in a directory
// (beside the INI file), so that the trace outlives the window and its 1001-line cap.
class SessionLog {
public:
    explicit SessionLog(std::string directory) : directory(std::move(directory)) {}

    // "VexloModbusTester-YYYY-MM-DD.log" of the local day.
    static std::string FileName(std::int64_t timeMs);
    std::string PathFor(std::int64_t timeMs) const;

    // Appends "YYYY-MM-DD hh:mm:ss.mmm  line". The first failure gives the message for the operator;
    // the failures after it give nothing, until a line is written again.
    std::optional<std::string> Append(const std::string& line, std::int64_t timeMs);

private:
    std::string directory;
    std::string openPath;
    std::ofstream file;
    bool failing = false;
};

}  // namespace vexlo
