#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "history/ResultHistory.h"

namespace vexlo::cli {

// Standard output of a script: each piece flushed at once, so that a reader of the pipe sees every
// result as it is read and a killed run has printed all it read. Remembers the first failure.
class OutputChannel {
public:
    OutputChannel(std::FILE* file, std::string name) : file(file), name(std::move(name)) {}

    // False once a write failed; nothing more is written then.
    bool Write(const std::string& text);
    bool Failed() const { return error != 0; }
    // The reader went away (closed pipe): the run ends quietly.
    bool ReaderGone();
    // "vexlo-cli: cannot write to standard output: No space left on device".
    std::string FailureMessage() const;

private:
    std::FILE* file;
    std::string name;
    int error = 0;
};

// One result as the command line gives it: the same keys, in the same order, in its JSON object and
// as the columns of its CSV file.
struct ResultRow {
    std::int64_t timeMs = 0;
    int station = 0;
    HistoryEntry entry;
    int alarmCode = 0;

    nlohmann::ordered_json Json() const;
    static std::string CsvHeader();
    std::string CsvLine() const;
};

// The CSV file of a run. Without --append the file is rewritten whole after each result into a
// temporary file beside it, then renamed over it: at every moment the file holds a complete CSV
// (a killed run never leaves a half-written file in place of a good one). With --append each line
// is added at the end and flushed to the disk. A device such as /dev/full is written directly.
class ResultCsv {
public:
    explicit ResultCsv(std::string path, bool append) : path(std::move(path)), append(append) {}

    // Before the port opens: a refused --append (another header) or a file that cannot be written
    // gives its message.
    std::optional<std::string> Prepare();
    // Adds a result; the message when it could not be written.
    std::optional<std::string> Add(const ResultRow& row);
    const std::string& Path() const { return path; }

private:
    std::optional<std::string> WriteWhole();
    std::optional<std::string> Failure(const char* what) const;

    std::string path;
    bool append;
    bool regularFile = true;
    std::vector<std::string> lines;
};

}  // namespace vexlo::cli
