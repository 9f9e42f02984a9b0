#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "config/AppSettings.h"
#include "console/CycleSequencer.h"
#include "history/ResultHistory.h"
#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo::cli {

// One run of vexlo-cli: opens the port the INI file or the options name, runs the command through
// the same instrument procedures and text producers as the console, and prints what it reads.
class CliSession final : public ConsoleReport, private SequencerHost {
public:
    static constexpr int kDone = 0;
    static constexpr int kFailed = 1;
    static constexpr int kBadUsage = 2;

    CliSession(const CliOptions& options, std::ostream& out, std::ostream& err);
    ~CliSession() override;

    // The exit status.
    int Run();

    // ConsoleReport
    void TraceExchange(DeviceStatus status) override;
    void ClearTrace() override {}
    void ClearResults() override { results.clear(); }
    void AppendResult(const std::string& line) override { results.push_back(line); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

private:
    int Refuse(const std::string& message);
    // Port, station and access mode from the options over the INI file; kDone when the port opened.
    int Connect();
    // Prints what the command gathered (text, or one JSON object with extra members) and gives its status.
    int Finish(const std::vector<std::pair<std::string, std::string>>& extra = {});

    int Status();
    int Result(bool fromFifo);
    int Coil(DeviceStatus (TesterDevice::*operation)());
    int Read();
    int WriteWord();
    int WriteLong();
    int WriteCoil();
    int Search();
    int ReadTime();
    int SelectProg();
    int ReadId();
    int WriteId();
    int Curves();
    int Cycle();

    // SequencerHost
    TesterDevice& Device() override { return device; }
    StatusRecord& SharedStatus() override { return status; }
    void SetFifoCount(std::uint32_t count) override { fifoCount = count; }
    void AppendTraceLine(const std::string& line) override;
    void StartCommand() override;
    void ReadFifoCommand() override;
    bool ReadFifoChecked() const override { return options.Has("--read-fifo"); }
    std::string InterCycleText() const override { return pauseText; }
    void SetRunningProgramEntry(const std::string&) override {}
    void SetRunningProgramDisplay(const std::string&) override {}

    const CliOptions& options;
    std::ostream& out;
    std::ostream& err;
    AppSettings settings;
    TesterDevice device;
    StatusRecord status;
    std::uint32_t fifoCount = 0;
    std::string pauseText = "0";
    bool failed = false;
    bool explained = false;  // the reason of the failure is on standard error already
    std::vector<std::string> trace;
    std::vector<std::string> results;
    std::vector<std::string> messages;
    ResultHistory history;
    CycleSequencer sequencer{*this};
};

}  // namespace vexlo::cli
