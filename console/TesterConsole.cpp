#include "console/TesterConsole.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "common/TextFormat.h"
#include "config/PortsSection.h"
#include "console/ConsoleMessages.h"
#include "console/LinkOpening.h"
#include "console/LogFile.h"
#include "history/ResultPublisher.h"
#include "instrument/ParameterAccess.h"
#include "instrument/ProgramBlocks.h"
#include "instrument/ResultText.h"
#include "instrument/TimeParameters.h"
#include "serial/PortNameResolver.h"
#include "serial/PortTable.h"

namespace vexlo {

int TesterConsole::cycleShown = 0;

namespace {

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TesterConsole::TesterConsole(AppSettings& settings, ConsoleView& view)
    : settings(settings),
      view(view),
      sessionLog(settings.Directory()),
      rawPanel(
          device, view, results, statusPoll, [this] { return ExchangeEntries(); },
          [this](DeviceStatus status) { ShowExchange(status, 0); }),
      sequencer(*this) {
    trace.SetObserver(view.TraceObserver());
    trace.SetTap([this](const std::string& line) { LogTraceLine(line); });
    results.SetObserver(view.ResultObserver());
}

TesterConsole::~TesterConsole() {
    trace.SetObserver(nullptr);
    results.SetObserver(nullptr);
}

void TesterConsole::Initialise() {
    view.SetEntryText(Entry::TimeProgram, "1");
    view.SetEntryText(Entry::RunningProgram, "1");
    view.SetEntryText(Entry::InterCycle, "5");
    rawPanel.ShowFields();
    statusCaption = view.StatusCaption();
    view.SetLamp(kLampYellow, 0, 0);
    lampState = kLampYellow;
    if (!AppSettings::IsLineStation(settings.station)) {
        view.ShowMessage(FormatText("Station %d in %s is not a station from 1 to 255: station %d is used until Setup "
                                    "sets one.",
                                    settings.station, settings.FilePath().c_str(), AppSettings::kDefaultStation),
                         MessageKind::Warning);
    }
    ApplyLinkSettings();
    RefreshLinkDisplay();
    std::string publishError;
    const auto publish = ReadPublishSettings(settings.FilePath(), settings.LineStation(), publishError);
    if (!publish) view.ShowMessage(publishError, MessageKind::Warning);
    ReportStoreProblem(recorder.Open(ResultStore::FileIn(settings.Directory()), publish ? &*publish : nullptr));
    view.StartTimer(kFirstTickMs);
}

std::string TesterConsole::PortName() const { return FormatText("COM%d", settings.comPort + 1); }

void TesterConsole::ReportStoreProblem(const std::optional<std::string>& report) {
    if (report) view.ShowMessageLater(*report, MessageKind::Stop);
}

void TesterConsole::EndOfCycleSeen() {
    ReportStoreProblem(recorder.EndOfCycleSeen(PortName(), settings.LineStation(), NowMs()));
}

void TesterConsole::ReadCycleResult() { ReadFifo(ResultSource::Sequencer); }

void TesterConsole::ShowReadResult(DeviceStatus status, ResultSource source) {
    readingFor = source;
    ShowExchange(status, 1);
    readingFor = ResultSource::LastResult;
}

void TesterConsole::RecordResult() {
    ResultContext context;
    context.port = PortName();
    context.station = settings.LineStation();
    context.limits = history.RejectLimitsOf(result.ProgramIndex() + 1);
    ReportStoreProblem(recorder.Record(result, readingFor, context, NowMs()).report);
}

void TesterConsole::Shutdown() {
    view.StopTimer();
    device.Close();
}

bool TesterConsole::ApplyLinkSettings() {
    // The ports mapped by hand in the INI file, as they stand now, for the port layer to open.
    const bool opened =
        OpenLink(device, settings.FilePath(), {settings.comPort, settings.LineStation(), settings.accessMode});
    view.SetDisplayText(Display::ComNumber, FormatText("%d", settings.comPort + 1));
    view.SetDisplayText(Display::Station, FormatText("%d", settings.LineStation()));
    return opened;
}

void TesterConsole::RefreshLinkDisplay() {
    view.SetStatusText(DescribePort(device.PortIndex()));
    view.SetStatusCaption(statusCaption + " < " + device.AccessModeName() + " > ");
    view.SetAccessModeLabel(device.AccessModeName());
}

void TesterConsole::ShowLinkCounters(const LinkCounters& counters) {
    view.SetDisplayText(Display::Requests, FormatText("%ld", static_cast<long>(counters.requests)));
    const auto plain = [](std::int32_t value) { return FormatText("%ld", static_cast<long>(value)); };
    ShowCounterIfChanged(shownCounters.errors, counters.errors, Display::Errors, plain(counters.errors));
    ShowCounterIfChanged(shownCounters.timeouts, counters.timeouts, Display::TimeoutErrors, plain(counters.timeouts));
    ShowCounterIfChanged(shownCounters.crcErrors, counters.crcErrors, Display::CrcErrors, plain(counters.crcErrors));
    // The spare counter rides along with the negative responses.
    ShowCounterIfChanged(
        shownCounters.negativeResponses, counters.negativeResponses, Display::NegativeResponses,
        FormatText("%ld-%ld", static_cast<long>(counters.negativeResponses), static_cast<long>(counters.spare)));
}

void TesterConsole::ShowCounterIfChanged(std::optional<std::int32_t>& shown, std::int32_t value, Display display,
                                         const std::string& text) {
    if (shown == value) return;
    shown = value;
    view.SetDisplayText(display, text);
}

void TesterConsole::ShowExchange(DeviceStatus status, int decode) {
    int requestLength = 0;
    int replyLength = 0;
    const std::uint8_t* request = device.LastRequest(&requestLength);
    const std::uint8_t* reply = device.LastReply(&replyLength);
    for (const auto& line : ExchangeLines(request, requestLength, reply, replyLength, status != kDeviceOk)) {
        trace.AppendTraceLine(line);
    }
    if (status == kDeviceOk && replyLength > 0 && decode == 1) DecodeResult();
}

void TesterConsole::DecodeResult() {
    if (device.exceptionReply) {
        view.ShowMessage(kResultEmpty, MessageKind::Warning);
        return;
    }
    results.Clear();
    int replyLength = 0;
    const std::uint8_t* reply = device.LastReply(&replyLength);
    result = ResultRecord{};
    const int available = std::max(0, std::min<int>(replyLength - 3, static_cast<int>(result.bytes.size())));
    std::memcpy(result.bytes.data(), reply + 3, static_cast<std::size_t>(available));
    const std::vector<std::string> lines = ResultLines(result, view.IsChecked(Option::VexloErd));
    // Committed before the lines are shown.
    RecordResult();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // The relay heading goes in plainly: no cap test, no selection.
        if (i == kRelayHeadingLine) {
            results.AddLine(lines[i]);
        } else {
            results.AppendTraceLine(lines[i]);
        }
    }
}

void TesterConsole::TimerTick() {
    view.StopTimer();
    sequencer.RunSequencerStep();
    if (realTimeStatus == 1 && statusPoll.PollEnabled()) PollStatus();
    ShowLinkCounters(device.Counters());
    view.StartTimer(kTickMs);
}

void TesterConsole::PollStatus() {
    if (device.ReadStatus(statusRecord) != kDeviceOk) {
        view.SetStatusText(DescribePort(device.PortIndex()));
        if (lampState != kLampRed) {
            lampState = kLampRed;
            view.SetLampRow(kLampRed);
        }
        return;
    }
    ShowStatus();
    ReportStoreProblem(recorder.StatusSeen(PortName(), settings.LineStation(), statusRecord, NowMs()));
    if (lampState == kLampRed) {
        lampState = kLampGreen;
        view.SetLampRow(kLampGreen);
    }
}

void TesterConsole::ShowStatus() {
    const StatusRecord& status = statusRecord;
    view.StatusShown(status);
    view.SetStatusText(StatusRegisterLine(status));
    view.SetDisplayText(Display::Measure1, MeasureText(status.Measure1()));
    view.SetDisplayText(Display::Measure1Unit, MeasureUnitText(status.Unit1()));
    view.SetDisplayText(Display::Measure2, MeasureText(status.Measure2()));
    view.SetDisplayText(Display::Measure2Unit, MeasureUnitText(status.Unit2()));
    view.SetDisplayText(Display::RunningProgram, FormatText("%d", status.RunningProgram()));
    fifoCount = status.FifoCount();
    view.SetDisplayText(Display::FifoCount, FormatText("%d", static_cast<int>(fifoCount)));
    view.SetDisplayText(Display::TestType, FormatText("%d", status.TestType()));
    const unsigned relays = status.RelayStatus();
    view.SetDisplayText(Display::RelayStatus, FormatText("0x%04x", relays));
    view.SetDisplayText(Display::StepCode, FormatText("0x%04x", static_cast<unsigned>(status.StepCode())));
    view.SetLight(StatusLight::Ok, (relays & relay::kGoodPart) != 0);
    view.SetLight(StatusLight::EndOfCycle, (relays & relay::kEndOfCycle) != 0);
    view.SetLight(StatusLight::TestReject, (relays & relay::kTestReject) != 0);
    view.SetLight(StatusLight::ReferenceReject, (relays & relay::kReferenceReject) != 0);
    view.SetLight(StatusLight::Alarm, (relays & relay::kAlarm) != 0);
    // The bar runs from the poll that sees the end of cycle fall until the one that sees it again.
    const int endOfCycle = (relays & relay::kEndOfCycle) != 0 ? 1 : 0;
    if (endOfCycle != cycleShown) {
        view.SetCycleAnimation(endOfCycle == 0);
        cycleShown = endOfCycle;
    }
}

template <typename Operation>
DeviceStatus TesterConsole::WithoutPolling(Operation operation) {
    PollGate::Hold hold(statusPoll);
    return operation();
}

void TesterConsole::StartCommand() {
    results.Clear();
    const DeviceStatus status = WithoutPolling([this] {
        const DeviceStatus started = device.StartCycle();
        sequencer.startOk = started == kDeviceOk ? 1 : 0;
        return started;
    });
    ShowExchange(status, 0);
}

void TesterConsole::ResetCommand() {
    results.Clear();
    ShowExchange(WithoutPolling([this] { return device.ResetCycle(); }), 0);
}

void TesterConsole::ClearFifoCommand() {
    ShowExchange(WithoutPolling([this] { return device.ClearFifo(); }), 0);
}

void TesterConsole::ReadLastResultCommand() {
    std::uint8_t buffer[2 * ResultRecord::kRegisters] = {};
    ShowReadResult(WithoutPolling([&] { return device.ReadLastResult(ResultRecord::kRegisters, buffer); }),
                   ResultSource::LastResult);
}

void TesterConsole::ReadFifoCommand() { ReadFifo(ResultSource::Fifo); }

void TesterConsole::ReadFifo(ResultSource source) {
    if (realTimeStatus == 0) {
        const DeviceStatus status = device.ReadStatus(statusRecord);
        if (status != kDeviceOk) {
            ShowExchange(status, 1);
            return;
        }
        fifoCount = statusRecord.FifoCount();
    }
    if (fifoCount == 0) {
        view.ShowMessage(kFifoEmpty, MessageKind::Warning);
        return;
    }
    std::uint8_t buffer[2 * ResultRecord::kRegisters] = {};
    ShowReadResult(WithoutPolling([&] { return device.ReadFifoResult(ResultRecord::kRegisters, buffer); }), source);
}

bool TesterConsole::ExchangeEntries() {
    realTimeStatus = view.IsChecked(Option::RealTimeStatus) ? 1 : 0;
    return rawPanel.ExchangeFields();
}

void TesterConsole::RealTimeStatusCommand() {
    (void)ExchangeEntries();
    lampState = realTimeStatus == 1 ? kLampRed : kLampYellow;
    view.SetLampRow(lampState);
}

void TesterConsole::RunningCommand(bool checked) {
    if (checked) {
        sequencer.SwitchOn();
    } else {
        sequencer.SwitchOff();
    }
    view.EnableCommandGroup(!checked);
    if (!checked) return;
    ClearFifoCommand();
    sequencer.ResetCounts();
}

void TesterConsole::ClearListsCommand() {
    trace.Clear();
    results.Clear();
}

void TesterConsole::CopyTraceToFileCommand() {
    const TraceCopyResult copy = CopyTraceToFile(
        trace, std::time(nullptr), [this](const std::string& question) { return view.AskYesNo(question); });
    if (copy.outcome == TraceCopyResult::Outcome::Failed) {
        view.ShowMessage(FormatText("The trace could not be written to %s (%d line(s) lost).", copy.fileName.c_str(),
                                    copy.linesFailed),
                         MessageKind::Stop);
    }
}

void TesterConsole::SetupCommand() {
    view.StopTimer();
    const AppSettings::Edit edit =
        settings.EditSettings([this](AppSettings& edited) { return view.RunProgramSetup(edited); });
    if (edit != AppSettings::Edit::Cancelled) {
        device.Close();
        ApplyLinkSettings();
        RefreshLinkDisplay();
    }
    if (edit == AppSettings::Edit::NotSaved) ReportUnsavedSettings();
    view.StartTimer(kAfterDialogTickMs);
}

void TesterConsole::SearchCommand() {
    view.BeginWait();
    std::string message = kStationNotFound;
    view.StopTimer();
    device.Close();
    device.replyTimeoutMs = kSearchReplyTimeoutMs;
    ApplyLinkSettings();
    int station = 0;
    bool saved = true;
    if (device.FindStation(station) == kDeviceOk) {
        view.SetDisplayText(Display::Station, FormatText("%d", station));
        message = FormatText(kStationFoundFormat, station);
        saved = settings.SetStation(station);
    }
    device.Close();
    device.replyTimeoutMs = kCommandReplyTimeoutMs;
    ApplyLinkSettings();
    view.ShowMessage(message, MessageKind::Information);
    if (!saved) ReportUnsavedSettings();
    RefreshLinkDisplay();
    view.StartTimer(kAfterDialogTickMs);
    view.EndWait();
}

void TesterConsole::LogTraceLine(const std::string& line) {
    if (settings.sessionLog == 0) return;
    const auto now = NowMs();
    // Lines are traced in the middle of commands: the report waits for the event loop.
    if (const auto failure = sessionLog.Append(line, now)) view.ShowMessageLater(*failure, MessageKind::Warning);
}

void TesterConsole::ReportUnsavedSettings() {
    view.ShowMessage(FormatText("The settings could not be saved to %s.", settings.FilePath().c_str()),
                     MessageKind::Stop);
}

void TesterConsole::ReadTimeCommand() {
    const ProgramNumber program = ParseProgramNumber(view.EntryText(Entry::TimeProgram));
    currentProgram = program.number;
    ReadTimeParameters(device, *this, program);
}

void TesterConsole::SelectProgCommand() {
    trace.Clear();
    results.Clear();
    const ProgramNumber program = ParseProgramNumber(view.EntryText(Entry::RunningProgram));
    currentProgram = program.number;
    if (program.valid) {
        SelectRunningProgram(device, program.Index(), this);
    } else {
        ShowMessage(kBadProgramMessage);
    }
}

void TesterConsole::SetTimeCommand() {
    const ProgramNumber program = ParseProgramNumber(view.EntryText(Entry::TimeProgram));
    currentProgram = program.number;
    if (!program.valid) {
        ShowMessage(kBadProgramMessage);
        return;
    }
    view.RunTimeSetup(program.number);
}

void TesterConsole::IdentifierCommand() { view.RunIdentifierDialog(); }

void TesterConsole::ReadTwentyCommand() { ReadTwentyParameters(device, *this); }

void TesterConsole::WriteTwentyCommand() { ShowMessage(kWriteTwentyMessage); }

void TesterConsole::CopyRecordCommand() {
    // A record too large for two frames is refused rather than half copied.
    if (CopyProgramRecord(device) == CopyOutcome::TooLarge) {
        view.ShowMessage("The program record is larger than 492 bytes: not copied.", MessageKind::Stop);
    }
}

void TesterConsole::CurveInfoCommand() { ShowCurveInfo(device, *this); }

void TesterConsole::RegulatorCommand(bool set) { ModifyRegulatorControl(device, *this, set); }

bool TesterConsole::AcceptCommand() { return ExchangeEntries(); }

void TesterConsole::ParameterDialogExchange(bool success) { ShowExchange(success ? kDeviceOk : kDeviceFailed, 0); }

}  // namespace vexlo
