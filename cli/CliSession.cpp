#include "cli/CliSession.h"

#include <unistd.h>

#include <chrono>
#include <climits>

#include "cli/StopSignal.h"
#include "common/ByteImage.h"
#include "common/MonotonicClock.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "config/PortsSection.h"
#include "console/ConsoleMessages.h"
#include "console/LinkOpening.h"
#include "console/RawRegisterPanel.h"
#include "console/RawRegisterText.h"
#include "console/TraceList.h"
#include "history/ResultJson.h"
#include "history/SpcReport.h"
#include "instrument/IdentifierAccess.h"
#include "instrument/ParameterAccess.h"
#include "instrument/ProgramBlocks.h"
#include "instrument/ResultText.h"
#include "instrument/TimeParameters.h"
#include "serial/PortNameResolver.h"
#include "serial/PortTable.h"
#include "serial/SerialUi.h"

namespace vexlo::cli {

using Json = nlohmann::ordered_json;

// A port that does not open is reported with the name the operator gave, not the COM slot that
// carries it.
class CliSerialUi final : public SerialUi {
public:
    CliSerialUi(std::FILE* err, std::string port) : err(err), port(std::move(port)) {}
    void ShowPortError(const std::string& message) override {
        const std::string reason = message.substr(0, message.find("\n Serial Port -> "));
        std::fprintf(err, "vexlo-cli: cannot open %s: %s\n", port.c_str(), reason.c_str());
    }

private:
    std::FILE* err;
    std::string port;
};

namespace {

// The slot of the port table that carries a device path or a server named on the command line.
constexpr int kCommandLinePort = 40;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Exception codes a gateway gives for a station behind it that is missing or silent.
bool IsGatewayException(std::uint8_t code) { return code == 0x0A || code == 0x0B; }

// These try stations of their own.
bool UsesStation(const std::string& command) { return command != "scan" && command != "watch" && command != "search"; }

// These work on files alone: the results store, a values file.
bool UsesDevice(const CliOptions& o) {
    return o.command != "history" && o.command != "publish" && o.command != "spc" &&
           !(o.command == "gauge" && !o.count);
}

// A broker that is away delays the end of a recording command by at most this, per result sent.
constexpr int kDeliverMs = 3000;
// `publish` waits longer for each acknowledgement: delivering is all it does.
constexpr int kPublishMs = 10000;

}  // namespace

const std::map<std::string, CliSession::Command>& CliSession::Commands() {
    static const std::map<std::string, Command> commands = {
        {"status", &CliSession::Status},
        {"last-result", &CliSession::LastResult},
        {"fifo", &CliSession::Fifo},
        {"start", &CliSession::Start},
        {"reset", &CliSession::Reset},
        {"clear-fifo", &CliSession::ClearFifoCommand},
        {"read", &CliSession::Read},
        {"write-word", &CliSession::WriteWord},
        {"write-long", &CliSession::WriteLong},
        {"write-coil", &CliSession::WriteCoil},
        {"search", &CliSession::Search},
        {"scan", &CliSession::Scan},
        {"watch", &CliSession::Watch},
        {"read-time", &CliSession::ReadTime},
        {"select-prog", &CliSession::SelectProg},
        {"read-id", &CliSession::ReadId},
        {"write-id", &CliSession::WriteId},
        {"curves", &CliSession::Curves},
        {"cycle", &CliSession::Cycle},
        {"run", &CliSession::RunProgram},
        {"history", &CliSession::History},
        {"publish", &CliSession::Publish},
        {"spc", &CliSession::Spc},
        {"gauge", &CliSession::Gauge},
    };
    return commands;
}

CliSession::CliSession(const CliOptions& options, std::FILE* out, std::FILE* err)
    : options(options), out(out, "standard output"), err(err) {}

CliSession::~CliSession() {
    if (device) device->Close();
    if (serialUi) SetSerialUi(nullptr);
}

int CliSession::Refuse(const std::string& what, const std::string& message) {
    std::fprintf(err, "vexlo-cli: %s: %s\n", what.c_str(), message.c_str());
    return kBadUsage;
}

int CliSession::CheckArguments() {
    const std::string& c = options.command;
    const auto& a = options.arguments;
    const auto quoted = [&a](const char* name, int i) { return FormatText("%s \"%s\"", name, a[i].c_str()); };
    if (!UsesStation(c) && options.station)
        return Refuse("--station", "does not apply to " + c + " (it names its stations)");
    if (c == "spc" && !options.valuesFile && !options.program)
        return Refuse("spc", "needs --values FILE or --program P");
    if (c == "gauge" && !options.valuesFile && !options.count)
        return Refuse("gauge", "needs --values FILE or --count N");
    if (c == "gauge" && *options.tolerance <= 0)
        return Refuse("--tolerance", FormatText("%g is no tolerance: it must be above 0", *options.tolerance));
    if (!UsesDevice(options)) {
        const std::pair<const char*, bool> lineOptions[] = {
            {"--port", options.port.has_value()},          {"--station", c == "history" && options.station},
            {"--access", options.access.has_value()},      {"--trace", options.trace},
            {"--baud", options.baud.has_value()},          {"--parity", options.parity.has_value()},
            {"--data-bits", options.dataBits.has_value()}, {"--stop-bits", options.stopBits.has_value()},
            {"--timeout", options.timeoutMs.has_value()},  {"--retries", options.retries.has_value()}};
        for (const auto& [name, given] : lineOptions) {
            if (given) return Refuse(name, "does not apply to " + c + " (it talks to no instrument)");
        }
        if (options.csvOut && options.json) return Refuse("--csv", "does not go with --json");
    }
    if ((options.partId || options.operatorName) && ::access(settings.FilePath().c_str(), F_OK) != 0) {
        return Refuse(options.partId ? "--part" : "--operator",
                      "results are recorded beside the INI file, and there is no " + settings.FilePath());
    }
    if (c == "read" || c == "write-word" || c == "write-long" || c == "write-coil") {
        const auto parsed = ParseHexAddress(a[0]);
        if (!parsed) return Refuse(quoted("ADDR", 0), kAddressPrompt);
        address = *parsed;
    }
    if (c == "read" && options.argumentCount > 1) {
        const auto count = ParseWholeNumberIn(a[1], 1, RawRegisterPanel::kMaxWords);
        if (!count) return Refuse(quoted("COUNT", 1), FormatText(kWordCountPromptFormat, RawRegisterPanel::kMaxWords));
        wordCount = static_cast<int>(*count);
    }
    if (c == "write-word" || c == "write-long") {
        const bool word = c == "write-word";
        const auto parsed =
            word ? ParseWholeNumberIn(a[1], -32768, 65535) : ParseWholeNumberIn(a[1], INT32_MIN, UINT32_MAX);
        if (!parsed) {
            return Refuse(quoted("VALUE", 1), word ? "Please enter an integer between -32768 and 65535."
                                                   : "Please enter an integer between -2147483648 and 4294967295.");
        }
        value = *parsed;
    }
    if ((c == "read-time" || c == "select-prog") && !ParseProgramNumber(a[0]).valid) {
        return Refuse(quoted("PROG", 0), kBadProgramMessage);
    }
    if (c == "read-id" || c == "write-id") {
        if (const auto refusal = IdentifierRefusal(a[0], a[1], c == "write-id" ? &a[2] : nullptr)) {
            const int which = !ParseProgramNumber(a[0]).valid ? 0 : !ParseWholeNumberIn(a[1], 0, 0xFFFF) ? 1 : 2;
            return Refuse(quoted(which == 0 ? "PROG" : which == 1 ? "ID" : "VALUE", which), *refusal);
        }
    }
    if (c == "scan" && options.from > options.to) {
        return Refuse("--from", FormatText("%lld is above --to %lld", options.from, options.to));
    }
    if (options.csv) {
        csv.emplace(*options.csv, options.append);
        if (const auto failure = csv->Prepare()) {
            std::fprintf(err, "%s\n", failure->c_str());
            return options.append ? kBadUsage : kFailed;
        }
    }
    return kDone;
}

std::string CliSession::PortLabel() const {
    if (options.port) return *options.port;
    const auto mappings = ReadPortsSection(settings.FilePath());
    const auto mapped = mappings.find(settings.comPort + 1);
    const std::string name = FormatText("COM%d", settings.comPort + 1);
    return mapped == mappings.end() ? name : name + " (" + mapped->second + ")";
}

int CliSession::Connect() {
    iniPresent = ::access(settings.FilePath().c_str(), F_OK) == 0;
    if (!options.port && !iniPresent) {
        std::fprintf(err,
                     "vexlo-cli: no port given: name one with --port (a device such as /dev/ttyUSB0, COMn of the "
                     "[Ports] section, tcp://HOST:PORT or rfc2217://HOST:PORT), or run where %s names one\n",
                     settings.FilePath().c_str());
        return kBadUsage;
    }
    LinkChoice choice{settings.comPort, iniPresent ? settings.LineStation() : 1, settings.accessMode};
    PortMappings extra;
    if (options.port) {
        const int number = PortsKeyNumber(*options.port);
        if (number >= 1 && number <= kPortCount) {
            choice.portIndex = number - 1;
        } else {
            extra[kCommandLinePort] = *options.port;
            choice.portIndex = kCommandLinePort - 1;
        }
    }
    if (options.station) choice.station = static_cast<int>(*options.station);
    if (options.access) choice.accessMode = *options.access == "direct" ? kDirectAccess : kStandardAccess;

    // A missing "Serial.cfg" gives the defaults; the command line leaves no file behind.
    SetCreateMissingPortTable(false);
    device = std::make_unique<TesterDevice>();
    PortSettings line = GetPortSettings(choice.portIndex);
    if (options.baud) line.SetBaud(static_cast<std::uint32_t>(*options.baud));
    if (options.parity) line.parity = *options.parity == "none" ? 0 : *options.parity == "odd" ? 1 : 2;
    if (options.dataBits) line.dataBits = static_cast<std::uint8_t>(*options.dataBits);
    if (options.stopBits) line.stopBits = *options.stopBits == 1 ? 0 : 2;
    SetPortSettings(choice.portIndex, line);
    const bool scan = options.command == "scan";
    const std::uint32_t defaultTimeout = scan                          ? kScanReplyTimeoutMs
                                         : options.command == "search" ? kSearchReplyTimeoutMs
                                                                       : kCommandReplyTimeoutMs;
    device->replyTimeoutMs = options.timeoutMs ? static_cast<std::uint32_t>(*options.timeoutMs) : defaultTimeout;
    // A scan asks each station once: an absent one would otherwise cost three time-outs.
    ModbusRtuMaster::AttemptLimit() = static_cast<std::uint8_t>(options.retries.value_or(scan ? 1 : 3));

    serialUi = std::make_unique<CliSerialUi>(err, options.port.value_or(PortLabel()));
    SetSerialUi(serialUi.get());
    if (!OpenLink(*device, settings.FilePath(), choice, extra)) return kFailed;
    return kDone;
}

bool CliSession::Print(const std::string& text) { return out.Write(text); }

void CliSession::TraceExchange(DeviceStatus result) {
    if (result != kDeviceOk) failed = true;
    if (!options.trace) return;
    int requestLength = 0;
    int replyLength = 0;
    const auto* request = device->LastRequest(&requestLength);
    const auto* reply = device->LastReply(&replyLength);
    for (const auto& line : ExchangeLines(request, requestLength, reply, replyLength, result != kDeviceOk)) {
        AppendTraceLine(line);
    }
}

void CliSession::AppendTraceLine(const std::string& line) {
    if (!options.trace) return;
    if (options.json) {
        trace.push_back(line);
    } else {
        Print(line + "\n");
    }
}

void CliSession::Fail(const std::string& message) {
    std::fprintf(err, "vexlo-cli: %s\n", message.c_str());
    failed = true;
    explained = true;
}

std::optional<int> CliSession::StoppedStatus() {
    if (const int signal = StopSignal()) return 128 + signal;
    if (out.ReaderGone()) return kPipeClosed;
    return std::nullopt;
}

int CliSession::Finish(Json data) {
    if (failed && !explained) {
        // The master's counters say what went wrong on the line.
        const LinkCounters& counters = device->Counters();
        std::fprintf(err,
                     "vexlo-cli: no valid answer from station %d on %s: %d time-outs, %d CRC errors, %d exception "
                     "replies\n",
                     device->Station(), PortLabel().c_str(), counters.timeouts, counters.crcErrors,
                     counters.negativeResponses);
    }
    if (options.json) {
        Json object;
        object["command"] = options.command;
        object["ok"] = !failed;
        for (auto& [key, item] : data.items()) object[key] = item;
        if (!results.empty()) object["lines"] = results;
        object["messages"] = messages;
        if (options.trace) object["trace"] = trace;
        Print(object.dump() + "\n");
    } else {
        std::string text;
        for (const auto& line : results) text += line + "\n";
        for (const auto& message : messages) text += message + "\n";
        if (!text.empty()) Print(text);
    }
    if (const auto stopped = StoppedStatus()) return *stopped;
    if (out.Failed()) {
        std::fprintf(err, "%s\n", out.FailureMessage().c_str());
        return kFailed;
    }
    return failed ? kFailed : kDone;
}

int CliSession::Run() {
    const auto command = Commands().find(options.command);
    if (command == Commands().end()) return Refuse(options.command, "unknown command");
    if (const int refused = CheckArguments(); refused != kDone) return refused;
    if (!UsesDevice(options)) return (this->*command->second)();
    if (const int connected = Connect(); connected != kDone) return connected;
    if (!RecordsResults()) return (this->*command->second)();
    OpenStore();
    return CloseStore((this->*command->second)());
}

bool CliSession::RecordsResults() const {
    const std::string& c = options.command;
    return c == "last-result" || c == "fifo" || c == "cycle" || c == "gauge" || (c == "run" && options.wait);
}

std::string CliSession::StorePort() const {
    if (!options.port) return FormatText("COM%d", settings.comPort + 1);
    const int number = PortsKeyNumber(*options.port);
    if (number >= 1 && number <= kPortCount) return FormatText("COM%d", number);
    for (const auto& [com, path] : ReadPortsSection(settings.FilePath())) {
        if (path == *options.port) return FormatText("COM%d", com);
    }
    return *options.port;
}

void CliSession::StoreProblem(const std::optional<std::string>& report) {
    if (report) std::fprintf(err, "vexlo-cli: %s\n", report->c_str());
}

void CliSession::OpenStore() {
    recorder = std::make_unique<ResultRecorder>(shown);
    if (!iniPresent) {
        // The store lives beside the INI file: a directory without one gets no file it did not ask for.
        if (!recorder->Store().OpenInMemory()) {
            std::fprintf(err,
                         "vexlo-cli: results are not stored: there is no %s (the results store is kept beside it)\n",
                         settings.FilePath().c_str());
        } else {
            // A build without a results store (Windows) says so in its own words, once.
            StoreProblem(recorder->Open(ResultStore::FileIn(settings.Directory())));
        }
        return;
    }
    std::string publishError;
    publish = ReadPublishSettings(settings.FilePath(), device->Station(), publishError);
    if (!publish) std::fprintf(err, "vexlo-cli: %s\n", publishError.c_str());
    storePath = ResultStore::FileIn(settings.Directory());
    StoreProblem(recorder->Open(storePath, publish ? &*publish : nullptr, ResultRecorder::ShownHistory::Skip));
    if (options.operatorName) recorder->SetOperator(*options.operatorName);
    if (options.partId) recorder->SetNextPartId(*options.partId);
}

int CliSession::CloseStore(int exitStatus) {
    const bool saving = recorder && recorder->Saving();
    // The recorder's own delivery stops here; what it left is sent once more, for a bounded time.
    recorder.reset();
    if (!saving || !publish || !publish->Enabled()) return exitStatus;
    std::string error;
    if (!DeliverPending(storePath, *publish, kDeliverMs, error)) {
        std::fprintf(err,
                     "vexlo-cli: %s Results not yet published stay in %s for the next program or vexlo-cli publish.\n",
                     error.c_str(), storePath.c_str());
    }
    return exitStatus;
}

void CliSession::EndOfCycleSeen() {
    if (recorder) StoreProblem(recorder->EndOfCycleSeen(StorePort(), device->Station(), NowMs()));
}

void CliSession::RecordResult(const ResultRecord& result) {
    // The single place a result read by the command line is kept: committed to the store first,
    // then printed and added to the CSV file.
    const std::int64_t now = NowMs();
    const ResultSource source = options.command == "cycle" || options.command == "gauge" ? ResultSource::Sequencer
                                : options.command == "fifo"                              ? ResultSource::Fifo
                                                                                         : ResultSource::LastResult;
    ResultContext context;
    context.port = StorePort();
    context.station = device->Station();
    lastOutcome = recorder->Record(result, source, context, now);
    StoreProblem(lastOutcome.report);
    const bool saved = recorder->Saving() && lastOutcome.row.id != 0;
    if (options.partId && !lastOutcome.newPart && saved && lastOutcome.row.partId != *options.partId) {
        Fail(FormatText("--part %s: the result read is row %lld of %s already, recorded with part id \"%s\"",
                        options.partId->c_str(), static_cast<long long>(lastOutcome.row.id), storePath.c_str(),
                        lastOutcome.row.partId.c_str()));
    } else if ((options.partId || options.operatorName) && !saved) {
        // Asked for a record that was not made: the read worked, the command did not.
        failed = true;
        explained = true;
    }
    const ResultRow row{now, device->Station(), HistoryEntry::From(result, now), result.AlarmCode()};
    ++resultsRead;
    if (row.entry.Passed()) ++resultsPassed;
    cycleLeaks.push_back(row.entry.leak);
    lastRow = row;
    const bool stream = options.command == "cycle" || options.command == "gauge";
    if (stream && options.json) {
        Json line = {{"command", options.command}, {"cycle", sequencer.cycleCount}};
        line.update(row.Json());
        line.update(StoreJson());
        Print(line.dump() + "\n");
    } else if (stream) {
        std::string text;
        for (const auto& resultLine : ResultLines(result, options.erd)) text += resultLine + "\n";
        Print(text);
    } else {
        results = ResultLines(result, options.erd);
    }
    if (csv) {
        if (const auto failure = csv->Add(row)) Fail(failure->substr(std::string("vexlo-cli: ").size()));
    }
}

Json CliSession::StoreJson() const {
    const bool saved = recorder && recorder->Saving() && lastOutcome.row.id != 0;
    return {{"saved", saved}, {"newPart", lastOutcome.newPart}, {"id", saved ? Json(lastOutcome.row.id) : Json()}};
}

Json CliSession::LastResultJson() const {
    Json data = lastRow->Json();
    data.update(StoreJson());
    return data;
}

int CliSession::Status() {
    const DeviceStatus read = device->ReadStatus(status);
    TraceExchange(read);
    if (read != kDeviceOk) return Finish();
    results = {StatusRegisterLine(status),
               FormatText("Running program: %d", status.RunningProgram()),
               FormatText("Number of result in fifo: %d", status.FifoCount()),
               FormatText("Test type: %d", status.TestType()),
               FormatText("Relay status (hexa): 0x%04x", static_cast<unsigned>(status.RelayStatus())),
               FormatText("Step code: 0x%04x", static_cast<unsigned>(status.StepCode())),
               "Mesure1 = " + MeasureText(status.Measure1()) + " " + MeasureUnitText(status.Unit1()),
               "Mesure2 = " + MeasureText(status.Measure2()) + " " + MeasureUnitText(status.Unit2())};
    const unsigned relays = status.RelayStatus();
    Json data;
    data["station"] = device->Station();
    data["runningProgram"] = status.RunningProgram();
    data["fifoCount"] = status.FifoCount();
    data["testType"] = status.TestType();
    data["relayStatus"] = relays;
    data["goodPart"] = (relays & relay::kGoodPart) != 0;
    data["testReject"] = (relays & relay::kTestReject) != 0;
    data["referenceReject"] = (relays & relay::kReferenceReject) != 0;
    data["alarm"] = (relays & relay::kAlarm) != 0;
    data["endOfCycle"] = (relays & relay::kEndOfCycle) != 0;
    data["stepCode"] = status.StepCode();
    data["measure1"] = status.Measure1() / 1000.0;
    data["measure1Unit"] = MeasureUnitText(status.Unit1());
    data["measure2"] = status.Measure2() / 1000.0;
    data["measure2Unit"] = MeasureUnitText(status.Unit2());
    return Finish(data);
}

int CliSession::LastResult() { return ResultCommand(false); }
int CliSession::Fifo() { return ResultCommand(true); }

int CliSession::ResultCommand(bool fromFifo) {
    if (fromFifo) {
        const DeviceStatus read = device->ReadStatus(status);
        TraceExchange(read);
        if (read != kDeviceOk) return Finish();
        if (status.FifoCount() == 0) {
            messages.push_back(kFifoEmpty);
            Fail(FormatText("station %d: %s", device->Station(), kFifoEmpty));
            return Finish();
        }
    }
    ResultRecord result;
    const DeviceStatus read = fromFifo ? device->ReadFifoResult(ResultRecord::kRegisters, result.bytes.data())
                                       : device->ReadLastResult(ResultRecord::kRegisters, result.bytes.data());
    TraceExchange(read);
    if (read != kDeviceOk) return Finish();
    if (device->exceptionReply) {
        messages.push_back(kResultEmpty);
        Fail(FormatText("station %d: %s", device->Station(), kResultEmpty));
        return Finish();
    }
    RecordResult(result);
    return Finish(LastResultJson());
}

int CliSession::Start() {
    TraceExchange(device->StartCycle());
    return Finish();
}

int CliSession::Reset() {
    TraceExchange(device->ResetCycle());
    return Finish();
}

int CliSession::ClearFifoCommand() {
    TraceExchange(device->ClearFifo());
    return Finish();
}

int CliSession::Read() {
    std::uint8_t buffer[2 * RawRegisterPanel::kMaxWords] = {};
    const int ok = options.input ? device->ReadInputRegisters(address, wordCount, buffer)
                                 : device->ReadRegisters(address, wordCount, buffer);
    TraceExchange(ToDeviceStatus(ok));
    if (!ok) return Finish();
    Json registers = Json::array();
    for (int i = 0; i < wordCount; ++i) {
        const unsigned word = static_cast<std::uint16_t>(LoadLe16(buffer + 2 * i));
        const unsigned at = (address + i) & 0xFFFF;
        results.push_back(FormatText("%04X: 0x%04x %u", at, word, word));
        registers.push_back({{"address", at}, {"value", word}});
    }
    Json data;
    data["address"] = address;
    data["count"] = wordCount;
    data["registers"] = registers;
    // The 32-bit views only of a pair that was read whole.
    if (wordCount >= 2) {
        const RawReadText text = InterpretRegisters(buffer[0], buffer[1], buffer[2], buffer[3]);
        results.insert(results.end(), text.lines.begin(), text.lines.end());
        data["long"] = LoadLe32(buffer);
        data["float"] = static_cast<double>(LoadLeFloat(buffer));
    }
    return Finish(data);
}

int CliSession::WriteWord() {
    auto word = static_cast<std::uint16_t>(value & 0xFFFF);
    if (options.swap) word = static_cast<std::uint16_t>(word >> 8 | word << 8);
    std::uint8_t buffer[2];
    StoreLe16(buffer, word);
    TraceExchange(ToDeviceStatus(device->WriteRegisters(address, 1, buffer)));
    return Finish();
}

int CliSession::WriteLong() {
    std::uint8_t buffer[4];
    StoreLe32(buffer, static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    TraceExchange(ToDeviceStatus(device->WriteRegisters(address, 2, buffer)));
    return Finish();
}

int CliSession::WriteCoil() {
    TraceExchange(ToDeviceStatus(device->WriteCoil(address, 1)));
    return Finish();
}

int CliSession::Search() {
    int station = 0;
    if (device->FindStation(station) == kDeviceOk) {
        messages.push_back(FormatText(kStationFoundFormat, station));
        return Finish({{"station", station}});
    }
    messages.push_back(kStationNotFound);
    // Every station was tried: the counters of the last one would say nothing useful.
    Fail(std::string(kStationNotFound) + " on " + PortLabel());
    return Finish();
}

int CliSession::Scan() {
    Json found = Json::array();
    for (long long station = options.from; station <= options.to && !StoppedStatus(); ++station) {
        device->SelectStation(static_cast<int>(station));
        std::uint8_t word[2];
        const int ok = device->ReadRegisters(registers::StatusBlock(device->accessMode).address, 1, word);
        int replyLength = 0;
        const std::uint8_t* reply = device->LastReply(&replyLength);
        const bool answered = ok && !(device->exceptionReply && replyLength >= 3 && IsGatewayException(reply[2]));
        if (options.trace) {
            int requestLength = 0;
            const auto* request = device->LastRequest(&requestLength);
            for (const auto& line : ExchangeLines(request, requestLength, reply, replyLength, !ok))
                AppendTraceLine(line);
        }
        if (!answered) continue;
        found.push_back(station);
        if (!options.json) Print(FormatText("%lld\n", station));
    }
    if (found.empty() && !StoppedStatus()) {
        Fail(FormatText("no station answered on %s from %lld to %lld", PortLabel().c_str(), options.from, options.to));
    }
    if (!options.json) return Finish();
    return Finish({{"from", options.from}, {"to", options.to}, {"stations", found}});
}

int CliSession::Watch() {
    struct Counts {
        long polls = 0;
        long answers = 0;
    };
    std::map<int, Counts> counts;
    bool allAnswered = true;
    for (long long round = 1; !options.count || round <= *options.count; ++round) {
        for (const int station : options.stations) {
            if (StoppedStatus()) break;
            device->SelectStation(station);
            const DeviceStatus read = device->ReadStatus(status);
            const bool ok = read == kDeviceOk && !device->exceptionReply;
            TraceExchange(read);
            Counts& c = counts[station];
            ++c.polls;
            if (ok) ++c.answers;
            allAnswered = allAnswered && ok;
            if (options.json) {
                Json line;
                line["command"] = "watch";
                line["round"] = round;
                line["station"] = station;
                line["time"] = IsoTimestamp(NowMs());
                line["ok"] = ok;
                if (ok) {
                    const unsigned relays = status.RelayStatus();
                    line["runningProgram"] = status.RunningProgram();
                    line["fifoCount"] = status.FifoCount();
                    line["relayStatus"] = relays;
                    line["goodPart"] = (relays & relay::kGoodPart) != 0;
                    line["testReject"] = (relays & relay::kTestReject) != 0;
                    line["referenceReject"] = (relays & relay::kReferenceReject) != 0;
                    line["alarm"] = (relays & relay::kAlarm) != 0;
                    line["endOfCycle"] = (relays & relay::kEndOfCycle) != 0;
                    line["stepCode"] = status.StepCode();
                    line["measure1"] = status.Measure1() / 1000.0;
                    line["measure1Unit"] = MeasureUnitText(status.Unit1());
                }
                Print(line.dump() + "\n");
            } else if (ok) {
                Print(
                    FormatText("%s station %d: %s, program %d, fifo %d, relays 0x%04x, step 0x%04x, Mesure1 = %s %s\n",
                               IsoTimestamp(NowMs()).c_str(), station, StatusRegisterLine(status).c_str(),
                               status.RunningProgram(), status.FifoCount(), static_cast<unsigned>(status.RelayStatus()),
                               static_cast<unsigned>(status.StepCode()), MeasureText(status.Measure1()).c_str(),
                               MeasureUnitText(status.Unit1()).c_str()));
            } else {
                Print(FormatText("%s station %d: no valid answer\n", IsoTimestamp(NowMs()).c_str(), station));
            }
        }
        if (StoppedStatus() || (options.count && round == *options.count)) break;
        // The pause between rounds, in slices so that a signal ends it at once.
        for (long long waited = 0; waited < options.intervalMs && !StoppedStatus(); waited += kTickMs) {
            CurrentClock().SleepMs(static_cast<int>(std::min<long long>(kTickMs, options.intervalMs - waited)));
        }
    }
    failed = !allAnswered;
    explained = true;
    Json summary = Json::array();
    std::string text;
    for (const int station : options.stations) {
        const Counts& c = counts[station];
        summary.push_back(
            {{"station", station}, {"polls", c.polls}, {"answers", c.answers}, {"failures", c.polls - c.answers}});
        text += FormatText("station %d: %ld polls, %ld answers, %ld failures\n", station, c.polls, c.answers,
                           c.polls - c.answers);
    }
    if (!options.json) {
        Print(text);
        return Finish();
    }
    return Finish({{"summary", summary}});
}

int CliSession::ReadTime() {
    ReadTimeParameters(*device, *this, ParseProgramNumber(options.arguments[0]));
    return Finish();
}

int CliSession::SelectProg() {
    SelectRunningProgram(*device, ParseProgramNumber(options.arguments[0]).Index(), this);
    return Finish();
}

int CliSession::ReadId() {
    const IdentifierOutcome outcome = ReadIdentifier(*device, *this, options.arguments[0], options.arguments[1]);
    if (outcome.valueText) results.push_back(*outcome.valueText);
    if (failed) return Finish();
    return Finish({{"value", ParseDecimalNumber(outcome.valueText.value_or("0")).value_or(0)}});
}

int CliSession::WriteId() {
    WriteIdentifier(*device, *this, options.arguments[0], options.arguments[1], options.arguments[2]);
    return Finish();
}

int CliSession::Curves() {
    ShowCurveInfo(*device, *this);
    return Finish();
}

void CliSession::StartCommand() {
    const DeviceStatus started = device->StartCycle();
    sequencer.startOk = started == kDeviceOk ? 1 : 0;
    if (started == kDeviceOk) startedCycle = true;
    TraceExchange(started);
}

void CliSession::ReadFifoCommand() {
    if (fifoCount == 0) {
        AppendTraceLine(kFifoEmpty);
        return;
    }
    ResultRecord result;
    const DeviceStatus read = device->ReadFifoResult(ResultRecord::kRegisters, result.bytes.data());
    TraceExchange(read);
    if (read != kDeviceOk || device->exceptionReply) return;
    RecordResult(result);
}

void CliSession::ResetStartedCycle() {
    if (!startedCycle) return;
    const DeviceStatus reset = device->ResetCycle();
    TraceExchange(reset);
    if (reset != kDeviceOk)
        Fail(FormatText("station %d on %s: the cycle could not be reset", device->Station(), PortLabel().c_str()));
}

int CliSession::Cycle() {
    if (!RunCycles(options.count.value_or(1))) return Finish();
    if (!options.json) {
        results = {FormatText("cycles %d, started %d, results %d, passed %d", sequencer.cycleCount,
                              sequencer.startedOkCount, resultsRead, resultsPassed)};
    }
    return Finish(CycleCounts());
}

Json CliSession::CycleCounts() const {
    return {{"cycles", sequencer.cycleCount},
            {"started", sequencer.startedOkCount},
            {"results", resultsRead},
            {"passed", resultsPassed}};
}

std::int32_t CliSession::ProgramAfter(std::int32_t previous) const {
    if (options.command == "gauge") return static_cast<std::int32_t>(options.program.value_or(1));
    return SequencerHost::ProgramAfter(previous);
}

bool CliSession::RunCycles(long long count) {
    // As the console does before switching on: each FIFO result is then the cycle's own.
    const DeviceStatus cleared = device->ClearFifo();
    TraceExchange(cleared);
    if (cleared != kDeviceOk) return false;
    sequencer.ResetCounts();
    sequencer.SwitchOn();
    // One step a tick, as the console runs it. Unlike the console nobody watches the screen: a cycle
    // that cannot start or ends without its result ends the run, and so does a sequencer that makes
    // no progress towards a result (an instrument never ready, or no longer answering).
    std::int32_t step = sequencer.sequencerState;
    int resultsBefore = 0;
    std::int32_t startedBefore = 0;
    std::int64_t withoutResultMs = 0;
    std::uint32_t lastTick = CurrentClock().TickCountMs();
    while (!StoppedStatus() && !failed) {
        const int resultsNow = resultsRead;
        sequencer.RunSequencerStep();
        const std::int32_t now = sequencer.sequencerState;
        if (resultsRead != resultsNow) withoutResultMs = 0;
        if (step == CycleSequencer::CycleReport && now == CycleSequencer::InterCycleWait) {
            if (sequencer.startedOkCount == startedBefore) {
                Fail(FormatText("station %d on %s: cycle %d could not start", device->Station(), PortLabel().c_str(),
                                sequencer.cycleCount));
            } else if (resultsRead == resultsBefore) {
                Fail(FormatText("station %d on %s: cycle %d ended without its result", device->Station(),
                                PortLabel().c_str(), sequencer.cycleCount));
            }
            startedBefore = sequencer.startedOkCount;
            resultsBefore = resultsRead;
            if (failed || sequencer.cycleCount >= count) break;
        }
        step = now;
        CurrentClock().SleepMs(kTickMs);
        const std::uint32_t tick = CurrentClock().TickCountMs();
        if (step != CycleSequencer::InterCycleWait) withoutResultMs += static_cast<std::uint32_t>(tick - lastTick);
        lastTick = tick;
        if (withoutResultMs >= kStuckMs) {
            Fail(FormatText(
                "station %d on %s: no result for %d s (%s): the cycles stop", device->Station(), PortLabel().c_str(),
                kStuckMs / 1000,
                step == CycleSequencer::WaitingEndOfCycle ? "no end of cycle" : "the instrument is not ready"));
        }
    }
    sequencer.SwitchOff();
    const bool stoppedEarly = StoppedStatus() || failed;
    // A cycle this run started is not left running when the run ends early.
    if (stoppedEarly && sequencer.startedOkCount > 0 && resultsRead < sequencer.startedOkCount) ResetStartedCycle();
    return true;
}

int CliSession::RunProgram() {
    const int programIndex = static_cast<int>(*options.program) - 1;
    if (SelectRunningProgram(*device, programIndex, this) != kDeviceOk) return Finish();
    const DeviceStatus started = device->StartCycle();
    TraceExchange(started);
    if (started != kDeviceOk) return Finish({{"program", *options.program}});
    startedCycle = true;
    if (!options.wait) return Finish({{"program", *options.program}});
    // Progress is the instrument moving through the phases of its cycle: the step code changing.
    std::int64_t unchangedMs = 0;
    std::optional<std::uint16_t> lastStep;
    bool ended = false;
    std::uint32_t lastTick = CurrentClock().TickCountMs();
    while (!StoppedStatus()) {
        CurrentClock().SleepMs(kTickMs);
        const DeviceStatus read = device->ReadStatus(status);
        if (options.trace) TraceExchange(read);
        const std::uint32_t tick = CurrentClock().TickCountMs();
        unchangedMs += static_cast<std::uint32_t>(tick - lastTick);
        lastTick = tick;
        if (read == kDeviceOk && status.EndOfCycle()) {
            EndOfCycleSeen();
            ended = true;
            break;
        }
        if (read == kDeviceOk && status.StepCode() != lastStep) {
            lastStep = status.StepCode();
            unchangedMs = 0;
        }
        if (unchangedMs >= kStuckMs) {
            Fail(FormatText("station %d on %s: program %lld made no progress for %d s", device->Station(),
                            PortLabel().c_str(), *options.program, kStuckMs / 1000));
            break;
        }
    }
    if (!ended) {
        ResetStartedCycle();
        return Finish({{"program", *options.program}});
    }
    failed = false;  // a status read that failed on the way was retried by the next tick
    ResultRecord result;
    const DeviceStatus read = device->ReadLastResult(ResultRecord::kRegisters, result.bytes.data());
    TraceExchange(read);
    if (read != kDeviceOk) return Finish({{"program", *options.program}});
    if (device->exceptionReply) {
        Fail(FormatText("station %d: %s", device->Station(), kResultEmpty));
        return Finish({{"program", *options.program}});
    }
    RecordResult(result);
    const int status = Finish(LastResultJson());
    if (status == kDone && !lastRow->entry.Passed()) return kRejected;
    return status;
}

}  // namespace vexlo::cli

namespace vexlo::cli {

int CliSession::History() {
    const std::string path = ResultStore::FileIn(settings.Directory());
    std::vector<StoredResult> rows;
    ResultStore store;
    if (::access(path.c_str(), F_OK) != 0) {
        // Listing creates nothing: a folder where nothing was recorded has an empty history.
        std::fprintf(err, "vexlo-cli: no results store %s: nothing was recorded here\n", path.c_str());
    } else if (const auto failure = store.Open(path)) {
        Fail(*failure);
        return Finish();
    } else {
        if (options.batch) {
            const auto batches = store.Batches();
            if (std::none_of(batches.begin(), batches.end(), [this](const Batch& b) { return b.id == *options.batch; }))
                return Refuse(FormatText("--batch %lld", *options.batch), "there is no such batch in " + path);
        }
        rows = store.Rows(RowQuery{options.batch, options.sinceMs, std::nullopt, 0});
        if (!store.LastError().empty()) {
            Fail(store.LastError());
            return Finish();
        }
    }
    if (options.json) return Finish(Json::parse(HistoryJson(rows).dump()));
    std::string text = options.csvOut ? std::string(ResultHistory::CsvHeader()) + "\n" : "";
    for (const StoredResult& row : rows) {
        const HistoryEntry entry = row.Entry();
        text += options.csvOut ? ResultHistory::CsvLine(entry) + "\n"
                               : FormatText("%lld %s batch %lld %s station %d program %d: %s, leak %.3f %s%s%s%s%s\n",
                                            static_cast<long long>(row.id), IsoTimestamp(row.recordedMs).c_str(),
                                            static_cast<long long>(row.batchId), row.port.c_str(), row.station,
                                            entry.program, entry.Verdict().c_str(), entry.leak, entry.leakUnit.c_str(),
                                            row.partId.empty() ? "" : ", part ", row.partId.c_str(),
                                            row.operatorName.empty() ? "" : ", operator ", row.operatorName.c_str());
    }
    Print(text);
    return Finish();
}

int CliSession::Publish() {
    const int station = static_cast<int>(options.station.value_or(settings.LineStation()));
    std::string error;
    const auto broker = ReadPublishSettings(settings.FilePath(), station, error);
    if (!broker) {
        Fail(error);
        return Finish();
    }
    if (!broker->Enabled()) {
        Fail("no broker is set: Broker=mqtt://HOST:PORT in [Publish] of " + settings.FilePath());
        return Finish();
    }
    const std::string path = ResultStore::FileIn(settings.Directory());
    std::int64_t before = 0;
    std::int64_t after = 0;
    ResultStore store;
    if (::access(path.c_str(), F_OK) == 0) {
        if (const auto failure = store.Open(path)) {
            Fail(*failure);
            return Finish();
        }
        before = store.PendingCount();
        if (!DeliverPending(path, *broker, kPublishMs, error)) {
            Fail(error +
                 FormatText(" %lld results wait in %s.", static_cast<long long>(store.PendingCount()), path.c_str()));
        }
        after = store.PendingCount();
    }
    const long long delivered = std::max<std::int64_t>(0, before - after);
    if (!options.json)
        results.push_back(FormatText("%lld results published to %s, %lld waiting", delivered,
                                     broker->BrokerText().c_str(), static_cast<long long>(after)));
    return Finish(
        {{"broker", broker->BrokerText()}, {"topic", broker->topic}, {"published", delivered}, {"waiting", after}});
}

}  // namespace vexlo::cli

namespace vexlo::cli {

std::optional<std::vector<double>> CliSession::ValuesFile() {
    const SpcValues read = ReadSpcValuesFile(*options.valuesFile);
    if (read.Ok()) return read.values;
    std::fprintf(err, "vexlo-cli: %s\n", read.error.c_str());
    return std::nullopt;
}

int CliSession::Spc() {
    std::vector<double> values;
    std::optional<double> usl = options.usl;
    if (options.valuesFile) {
        auto read = ValuesFile();
        if (!read) return kBadUsage;
        values = std::move(*read);
    } else {
        const std::string path = ResultStore::FileIn(settings.Directory());
        ResultStore store;
        if (::access(path.c_str(), F_OK) != 0) {
            Fail("no results store " + path + ": nothing was recorded here");
            return Finish();
        }
        if (const auto failure = store.Open(path)) {
            Fail(*failure);
            return Finish();
        }
        const int program = static_cast<int>(*options.program);
        std::vector<HistoryEntry> entries;
        std::optional<RejectLimits> limits;
        for (const StoredResult& row : store.Rows(RowQuery{options.batch, std::nullopt, std::nullopt, 0})) {
            entries.push_back(row.Entry());
            if (row.limits && entries.back().program == program) limits = row.limits;
        }
        const SpcSeries series = SpcSeriesOf(entries, program, limits);
        values = series.values;
        if (!usl) usl = series.usl;
        if (!usl) messages.push_back("USL: " + series.uslReason + " (give one with --usl)");
    }
    if (values.empty()) {
        Fail(options.valuesFile ? *options.valuesFile + ": no values" : "no results of that program in the store");
        return Finish();
    }
    const SpcReport report = MakeSpcReport(values, usl, options.lsl);
    if (options.json) return Finish(Json::parse(SpcJson(report).dump()));
    Print(SpcText(report));
    return Finish();
}

int CliSession::Gauge() {
    std::vector<double> values;
    Json data = Json::object();
    if (options.valuesFile) {
        auto read = ValuesFile();
        if (!read) return kBadUsage;
        values = std::move(*read);
    } else {
        const std::int64_t started = NowMs();
        const std::string name =
            FormatText("gauge study %s, program %lld, reference %g, tolerance %g", IsoTimestamp(started).c_str(),
                       options.program.value_or(1), *options.reference, *options.tolerance);
        StoreProblem(recorder->NewBatch(name, started));
        const bool ran = RunCycles(*options.count);
        // Results recorded after the study do not join its batch.
        StoreProblem(recorder->NewBatch("", NowMs()));
        // "passed" is the study's verdict here, not a count of good parts.
        data = {{"cycles", sequencer.cycleCount}, {"started", sequencer.startedOkCount}, {"results", resultsRead}};
        if (!ran || failed || StoppedStatus()) return Finish(data);
        values = cycleLeaks;
    }
    const SpcGaugeStudy study = StudyGauge(values, *options.reference, *options.tolerance);
    if (!study.passed) {
        Fail("the tester does not pass the gauge study" + (study.note.empty() ? "" : ": " + study.note));
    }
    if (options.json) {
        data.update(Json::parse(GaugeJson(study).dump()));
        return Finish(data);
    }
    Print(GaugeText(study));
    return Finish();
}

}  // namespace vexlo::cli
