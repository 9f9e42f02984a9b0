#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "config/AppSettings.h"
#include "console/CycleSequencer.h"
#include "history/ResultPublisher.h"
#include "history/ResultRecorder.h"
#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo::cli {

// One run of vexlo-cli: checks every argument, opens the port the way the console opens it for a
// command, runs the command through the console's instrument procedures and text producers, and
// prints what it reads: text, or JSON with one shape for every command.
class CliSession final : public ConsoleReport, private SequencerHost {
public:
    static constexpr int kDone = 0;
    static constexpr int kFailed = 1;
    static constexpr int kBadUsage = 2;
    static constexpr int kRejected = 3;      // run --wait: a rejected part or an alarm
    static constexpr int kPipeClosed = 141;  // the reader of standard output went away
    // Reply time-out of a scan: a present station answers one register well within it at 9600 baud.
    static constexpr std::uint32_t kScanReplyTimeoutMs = 10;
    // A cycle or run that makes no progress towards a result for this long (pauses not counted) stops.
    static constexpr std::int32_t kStuckMs = 30000;
    static constexpr int kTickMs = 100;

    CliSession(const CliOptions& options, std::FILE* out, std::FILE* err);
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
    using Command = int (CliSession::*)();
    static const std::map<std::string, Command>& Commands();

    // Refusals before any traffic (exit 2): positional arguments with the console's prompts, options
    // that do not apply, the port, the CSV file.
    int CheckArguments();
    int Refuse(const std::string& what, const std::string& message);
    // Port, line settings, station and access mode from the options over the INI file.
    int Connect();
    std::string PortLabel() const;
    // Prints what the command gathered and gives its exit status.
    int Finish(nlohmann::ordered_json data = nlohmann::ordered_json::object());
    void Fail(const std::string& message);
    bool Print(const std::string& text);
    // Every result the command line reads goes through here: recorded in the results store, then
    // printed (or kept for JSON) and added to the CSV file when one was asked for.
    void RecordResult(const ResultRecord& result);
    // The results store beside the INI file, for the commands that record results. A store that
    // cannot be used is told once; the results are printed all the same.
    void OpenStore();
    // Closes the store, then sends the results still waiting for the broker (bounded in time).
    int CloseStore(int exitStatus);
    void StoreProblem(const std::optional<std::string>& report);
    // The port as the store names it, so that the console and the command line share the one-row
    // rule on the same line: "COMn" where the INI file's port or mapping is meant, else the path.
    std::string StorePort() const;
    bool RecordsResults() const;
    // Whether the last result is in the store file, as which row, and whether it was a new part.
    nlohmann::ordered_json StoreJson() const;
    nlohmann::ordered_json LastResultJson() const;
    // Ends a long command stopped by a signal or a closed pipe; the exit status, or nothing.
    std::optional<int> StoppedStatus();
    void ResetStartedCycle();

    int Status();
    int LastResult();
    int Fifo();
    int ResultCommand(bool fromFifo);
    int Start();
    int Reset();
    int ClearFifoCommand();
    int Read();
    int WriteWord();
    int WriteLong();
    int WriteCoil();
    int Search();
    int Scan();
    int Watch();
    int ReadTime();
    int SelectProg();
    int ReadId();
    int WriteId();
    int Curves();
    int Cycle();
    int RunProgram();
    int History();
    int Publish();
    int Spc();
    int Gauge();
    // The values of --values FILE; nothing (and the message with the line refused) when it is bad.
    std::optional<std::vector<double>> ValuesFile();
    // The sequencer's cycles, as `cycle` runs them; false when the FIFO could not be emptied first.
    bool RunCycles(long long count);
    nlohmann::ordered_json CycleCounts() const;

    // SequencerHost
    TesterDevice& Device() override { return *device; }
    StatusRecord& SharedStatus() override { return status; }
    void SetFifoCount(std::uint32_t count) override { fifoCount = count; }
    void AppendTraceLine(const std::string& line) override;
    void StartCommand() override;
    void ReadFifoCommand() override;
    bool ReadFifoChecked() const override { return true; }
    std::string InterCycleText() const override { return std::to_string(options.pauseSeconds.value_or(0)); }
    void SetRunningProgramEntry(const std::string&) override {}
    void SetRunningProgramDisplay(const std::string&) override {}
    void EndOfCycleSeen() override;
    // gauge runs its one program every cycle.
    std::int32_t ProgramAfter(std::int32_t previous) const override;

    const CliOptions& options;
    OutputChannel out;
    std::FILE* err;
    AppSettings settings;
    bool iniPresent = false;
    std::unique_ptr<TesterDevice> device;
    std::unique_ptr<class CliSerialUi> serialUi;
    std::optional<ResultCsv> csv;
    StatusRecord status;
    std::uint32_t fifoCount = 0;
    bool failed = false;
    bool explained = false;  // the reason of the failure is on standard error already
    bool startedCycle = false;
    int resultsRead = 0;
    int resultsPassed = 0;
    std::optional<ResultRow> lastRow;
    ResultRecorder::Outcome lastOutcome;
    ResultHistory shown;
    std::unique_ptr<ResultRecorder> recorder;
    std::optional<PublishSettings> publish;
    std::string storePath;
    std::vector<double> cycleLeaks;
    // Checked arguments.
    std::uint16_t address = 0;
    int wordCount = 1;
    long long value = 0;
    std::vector<std::string> trace;
    std::vector<std::string> results;
    std::vector<std::string> messages;
    CycleSequencer sequencer{*this};
};

}  // namespace vexlo::cli
