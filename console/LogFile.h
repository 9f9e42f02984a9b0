#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "console/TraceList.h"
#include "instrument/DeviceStatus.h"

namespace vexlo {

// "%Y-%m-%d-%H-%M-%S.TXT" of the local time: a bare name, so the file lands in the current directory.
std::string MakeLogFileName(std::time_t now);

// Appends one line and a carriage return and line feed, opening and closing the file around it.
// 0 when written, 0xFFFF when the file could not be opened or written.
DeviceStatus AppendLogLine(const std::string& path, const std::string& text, bool flush);

struct TraceCopyResult {
    enum class Outcome { Declined, NothingToCopy, Written, Failed };
    Outcome outcome = Outcome::Declined;
    std::string fileName;
    int linesFailed = 0;  // lines (the closing empty one included) that could not be written
};

// "Listbox to file": asks confirm("Copy to file ?\n" + name); on yes copies every trace line in list
// order and ends the file with an empty line. A line that cannot be written is skipped and counted,
// and the result says so, so the operator can be told.
TraceCopyResult CopyTraceToFile(const TraceList& trace, std::time_t now,
                                const std::function<bool(const std::string& question)>& confirm);

}  // namespace vexlo
