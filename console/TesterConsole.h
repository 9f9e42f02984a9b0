#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "config/AppSettings.h"
#include "console/ConsoleView.h"
#include "console/CycleSequencer.h"
#include "console/PollGate.h"
#include "console/RawRegisterPanel.h"
#include "console/TraceList.h"
#include "history/ResultHistory.h"
#include "history/ResultRecorder.h"
#include "history/SessionLog.h"
#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// The console's state and behaviour apart from the window: the link, the status poll on the timer
// tick, the commands, the trace and result lists, the raw register panel and the cycle sequencer.
// Everything runs on the window's thread; the window forwards clicks and ticks here.
class TesterConsole final : public ConsoleReport, private SequencerHost {
public:
    static constexpr int kFirstTickMs = 1000;
    static constexpr int kTickMs = 100;
    static constexpr int kAfterDialogTickMs = 500;

    TesterConsole(AppSettings& settings, ConsoleView& view);
    ~TesterConsole() override;
    TesterConsole(const TesterConsole&) = delete;
    TesterConsole& operator=(const TesterConsole&) = delete;

    // The end of the window's initialisation: fields, lamp, link, first timer start.
    void Initialise();
    // The window is going: timer off, link closed.
    void Shutdown();

    void TimerTick();

    // Commands of the window.
    void StartCommand() override;
    void ResetCommand();
    void ClearFifoCommand();
    void ReadLastResultCommand();
    void ReadFifoCommand() override;
    void RealTimeStatusCommand();
    void RunningCommand(bool checked);
    void ClearListsCommand();
    void CopyTraceToFileCommand();
    void SetupCommand();
    void SearchCommand();
    void ReadTimeCommand();
    void SelectProgCommand();
    void SetTimeCommand();
    void IdentifierCommand();
    void ReadTwentyCommand();
    void WriteTwentyCommand();
    void CopyRecordCommand();
    void CurveInfoCommand();
    void RegulatorCommand(bool set);
    // Enter in an entry field: true when every field passes and the window may close.
    bool AcceptCommand();
    // A parameter dialog finished a transaction.
    void ParameterDialogExchange(bool success);

    RawRegisterPanel& RawPanel() { return rawPanel; }
    CycleSequencer& Sequencer() { return sequencer; }
    // The window's data exchange: the "Real time status" check state, then the raw panel's fields.
    bool ExchangeEntries();

    // What the window, the dialogs and the tests ask of the console.
    TesterDevice& Device() override { return device; }
    TraceList& Trace() { return trace; }
    TraceList& Results() { return results; }
    PollGate& StatusPoll() { return statusPoll; }
    const StatusRecord& LastStatus() const { return statusRecord; }
    std::uint16_t CurrentProgram() const { return currentProgram; }
    int LampState() const { return lampState; }
    // The results shown in the history: the store's current batch, with every result recorded by
    // Read Last Result, Read FIFO and the sequencer.
    ResultHistory& History() { return history; }
    ResultRecorder& Recorder() { return recorder; }
    // The line as the results store names it: "COMn".
    std::string PortName() const;

    // Link.
    bool ApplyLinkSettings();
    void RefreshLinkDisplay();
    void ShowLinkCounters(const LinkCounters& counters);
    void ShowExchange(DeviceStatus status, int decode);

    // ConsoleReport, for the instrument procedures and the parameter dialogs.
    void TraceExchange(DeviceStatus status) override { ShowExchange(status, 0); }
    void ClearTrace() override { trace.Clear(); }
    void ClearResults() override { results.Clear(); }
    void AppendResult(const std::string& line) override { results.AppendTraceLine(line); }
    void ShowMessage(const std::string& text) override { view.ShowMessage(text, MessageKind::Warning); }
    void RejectLimitsRead(int programNumber, const RejectLimits& limits) override {
        history.SetRejectLimits(programNumber, limits);
    }
    void RejectLimitsChanged(int programNumber) override { history.SetRejectLimits(programNumber, std::nullopt); }

    // The end-of-cycle bit as the progress animation last acted on it (process-wide).
    static int cycleShown;

private:
    // Runs a command's transaction with the status poll held off.
    template <typename Operation>
    DeviceStatus WithoutPolling(Operation operation);
    void PollStatus();
    void ShowCounterIfChanged(std::optional<std::int32_t>& shown, std::int32_t value, Display display,
                              const std::string& text);
    void ShowStatus();
    void DecodeResult();
    void ReportUnsavedSettings();
    void LogTraceLine(const std::string& line);

    // SequencerHost
    StatusRecord& SharedStatus() override { return statusRecord; }
    void SetFifoCount(std::uint32_t count) override { fifoCount = count; }
    void AppendTraceLine(const std::string& line) override { trace.AppendTraceLine(line); }
    bool ReadFifoChecked() const override { return view.IsChecked(Option::ReadFifo); }
    std::string InterCycleText() const override { return view.EntryText(Entry::InterCycle); }
    void SetRunningProgramEntry(const std::string& text) override { view.SetEntryText(Entry::RunningProgram, text); }
    void SetRunningProgramDisplay(const std::string& text) override {
        view.SetDisplayText(Display::RunningProgram, text);
    }
    void EndOfCycleSeen() override;
    void ReadCycleResult() override;
    void RecordResult();
    void ReadFifo(ResultSource source);
    // ShowExchange with decoding, recording what is decoded as read from source.
    void ShowReadResult(DeviceStatus status, ResultSource source);
    void ReportStoreProblem(const std::optional<std::string>& report);

    // The link counters as the screen shows them; a field is written only when its value changed.
    struct ShownCounters {
        std::optional<std::int32_t> errors;
        std::optional<std::int32_t> crcErrors;
        std::optional<std::int32_t> timeouts;
        std::optional<std::int32_t> negativeResponses;
    };

    AppSettings& settings;
    ConsoleView& view;
    TesterDevice device;
    TraceList trace;
    TraceList results;
    PollGate statusPoll;
    int realTimeStatus = 0;
    StatusRecord statusRecord;
    ResultRecord result;
    std::uint32_t fifoCount = 0;
    ShownCounters shownCounters;
    int lampState = kLampYellow;
    std::uint16_t currentProgram = 0;
    std::string statusCaption;
    ResultHistory history;
    ResultRecorder recorder{history};
    ResultSource readingFor = ResultSource::LastResult;  // while a result read is shown
    SessionLog sessionLog;
    RawRegisterPanel rawPanel;
    CycleSequencer sequencer;
};

}  // namespace vexlo
