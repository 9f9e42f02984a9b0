#include "cli/CliSession.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <fstream>
#include <thread>

#include "cli/Json.h"
#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "config/PortsSection.h"
#include "console/ConsoleMessages.h"
#include "console/RawRegisterPanel.h"
#include "console/RawRegisterText.h"
#include "console/TraceList.h"
#include "instrument/IdentifierAccess.h"
#include "instrument/ParameterAccess.h"
#include "instrument/ProgramBlocks.h"
#include "instrument/ResultText.h"
#include "instrument/TimeParameters.h"
#include "serial/PortNameResolver.h"

namespace vexlo::cli {
namespace {

// The port a device path or a server address given on the command line takes.
constexpr int kCommandLinePort = 40;
constexpr int kTickMs = 100;
// Longer than any step of a cycle takes (the end-of-cycle wait gives up after 10 s).
constexpr int kStuckMs = 30000;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Number(double value) { return FormatText("%.3f", value); }

std::vector<std::pair<std::string, std::string>> ResultMembers(const HistoryEntry& entry, int alarmCode) {
    using J = JsonObject;
    return {{"program", std::to_string(entry.program)},
            {"testType", std::to_string(entry.testType)},
            {"good", J::Bool(entry.good)},
            {"badTest", J::Bool(entry.badTest)},
            {"badReference", J::Bool(entry.badReference)},
            {"alarm", J::Bool(entry.alarm)},
            {"alarmCode", std::to_string(alarmCode)},
            {"pressure", Number(entry.pressure)},
            {"pressureUnit", J::Quote(entry.pressureUnit)},
            {"leak", Number(entry.leak)},
            {"leakUnit", J::Quote(entry.leakUnit)}};
}

}  // namespace

CliSession::CliSession(const CliOptions& options, std::ostream& out, std::ostream& err)
    : options(options), out(out), err(err) {}

CliSession::~CliSession() { device.Close(); }

int CliSession::Refuse(const std::string& message) {
    err << message << "\n";
    return kBadUsage;
}

int CliSession::Connect() {
    SetPortMappings(ReadPortsSection(settings.FilePath()));
    int portIndex = settings.comPort;
    if (const auto port = options.Value("--port")) {
        const int number = PortsKeyNumber(*port);
        if (number >= 1 && number <= 40) {
            portIndex = number - 1;
        } else {
            // A device path or a server address: carried by a port of its own.
            PortMappings mappings = CurrentPortMappings();
            mappings[kCommandLinePort] = *port;
            SetPortMappings(mappings);
            portIndex = kCommandLinePort - 1;
        }
    }
    int station = settings.LineStation();
    if (const auto text = options.Value("--station")) {
        const auto value = ParseWholeNumber(*text);
        if (!value || *value < 1 || *value > 255) return Refuse(kStationPrompt);
        station = static_cast<int>(*value);
    }
    AccessMode mode = settings.accessMode;
    if (const auto access = options.Value("--access")) {
        if (*access == "standard") {
            mode = kStandardAccess;
        } else if (*access == "direct") {
            mode = kDirectAccess;
        } else {
            return Refuse("--access takes standard or direct");
        }
    }
    device.SetPurgeAfterWrite(true);
    device.SelectStation(station);
    device.SetPortIndex(portIndex);
    device.linkEnabled = true;
    if (options.command == "search") device.replyTimeoutMs = 50;
    // The serial layer has said why on standard error.
    if (!device.Open()) return kFailed;
    device.accessMode = mode;
    return kDone;
}

void CliSession::TraceExchange(DeviceStatus result) {
    if (result != kDeviceOk) failed = true;
    if (!options.Has("--trace")) return;
    int requestLength = 0;
    int replyLength = 0;
    const auto* request = device.LastRequest(&requestLength);
    const auto* reply = device.LastReply(&replyLength);
    for (const auto& line : ExchangeLines(request, requestLength, reply, replyLength, result != kDeviceOk)) {
        if (options.Has("--json")) {
            trace.push_back(line);
        } else {
            out << line << "\n";
        }
    }
}

int CliSession::Finish(const std::vector<std::pair<std::string, std::string>>& extra) {
    const int code = failed ? kFailed : kDone;
    if (failed && !explained) {
        // The master's counters say what went wrong on the line.
        const LinkCounters& counters = device.Counters();
        err << FormatText("No valid answer from station %d: %d time-outs, %d CRC errors, %d exception replies.\n",
                          device.Station(), counters.timeouts, counters.crcErrors, counters.negativeResponses);
    }
    if (options.Has("--json")) {
        JsonObject object;
        object.Add("command", JsonObject::Quote(options.command)).Add("ok", JsonObject::Bool(!failed));
        for (const auto& [name, value] : extra) object.Add(name, value);
        object.Add("lines", JsonObject::Strings(results));
        if (!messages.empty()) object.Add("messages", JsonObject::Strings(messages));
        if (options.Has("--trace")) object.Add("trace", JsonObject::Strings(trace));
        out << object.Text() << "\n";
    } else {
        for (const auto& line : results) out << line << "\n";
        for (const auto& message : messages) out << message << "\n";
    }
    return code;
}

int CliSession::Run() {
    const int connected = Connect();
    if (connected != kDone) return connected;
    const std::string& c = options.command;
    if (c == "status") return Status();
    if (c == "last-result") return Result(false);
    if (c == "fifo") return Result(true);
    if (c == "start") return Coil(&TesterDevice::StartCycle);
    if (c == "reset") return Coil(&TesterDevice::ResetCycle);
    if (c == "clear-fifo") return Coil(&TesterDevice::ClearFifo);
    if (c == "read") return Read();
    if (c == "write-word") return WriteWord();
    if (c == "write-long") return WriteLong();
    if (c == "write-coil") return WriteCoil();
    if (c == "search") return Search();
    if (c == "read-time") return ReadTime();
    if (c == "select-prog") return SelectProg();
    if (c == "read-id") return ReadId();
    if (c == "write-id") return WriteId();
    if (c == "curves") return Curves();
    if (c == "cycle") return Cycle();
    return Refuse("unknown command " + c);
}

int CliSession::Status() {
    const DeviceStatus read = device.ReadStatus(status);
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
    using J = JsonObject;
    return Finish({{"runningProgram", std::to_string(status.RunningProgram())},
                   {"fifoCount", std::to_string(status.FifoCount())},
                   {"testType", std::to_string(status.TestType())},
                   {"relayStatus", std::to_string(relays)},
                   {"ok", J::Bool(relays & relay::kGoodPart)},
                   {"testReject", J::Bool(relays & relay::kTestReject)},
                   {"referenceReject", J::Bool(relays & relay::kReferenceReject)},
                   {"alarm", J::Bool(relays & relay::kAlarm)},
                   {"endOfCycle", J::Bool(relays & relay::kEndOfCycle)},
                   {"stepCode", std::to_string(status.StepCode())},
                   {"measure1", Number(status.Measure1() * 0.001)},
                   {"measure1Unit", J::Quote(MeasureUnitText(status.Unit1()))},
                   {"measure2", Number(status.Measure2() * 0.001)},
                   {"measure2Unit", J::Quote(MeasureUnitText(status.Unit2()))}});
}

int CliSession::Result(bool fromFifo) {
    if (fromFifo) {
        const DeviceStatus read = device.ReadStatus(status);
        TraceExchange(read);
        if (read != kDeviceOk) return Finish();
        if (status.FifoCount() == 0) {
            messages.push_back(kFifoEmpty);
            return Finish();
        }
    }
    ResultRecord result;
    const DeviceStatus read = fromFifo ? device.ReadFifoResult(ResultRecord::kRegisters, result.bytes.data())
                                       : device.ReadLastResult(ResultRecord::kRegisters, result.bytes.data());
    TraceExchange(read);
    if (read != kDeviceOk) return Finish();
    if (device.exceptionReply) {
        messages.push_back(kResultEmpty);
        return Finish();
    }
    results = ResultLines(result, options.Has("--erd"));
    const HistoryEntry entry = HistoryEntry::From(result, NowMs());
    return Finish(ResultMembers(entry, result.AlarmCode()));
}

int CliSession::Coil(DeviceStatus (TesterDevice::*operation)()) {
    TraceExchange((device.*operation)());
    return Finish();
}

int CliSession::Read() {
    const auto address = ParseHexAddress(options.arguments[0]);
    if (!address) return Refuse(kAddressPrompt);
    long long count = 1;
    if (options.arguments.size() > 1) {
        const auto parsed = ParseWholeNumber(options.arguments[1]);
        if (!parsed) return Refuse(kIntegerPrompt);
        if (*parsed < 1 || *parsed > RawRegisterPanel::kMaxWords) {
            return Refuse(FormatText(kWordCountPromptFormat, RawRegisterPanel::kMaxWords));
        }
        count = *parsed;
    }
    std::uint8_t buffer[256] = {};
    const int ok = options.Has("--input") ? device.ReadInputRegisters(*address, static_cast<int>(count), buffer)
                                          : device.ReadRegisters(*address, static_cast<int>(count), buffer);
    TraceExchange(ToDeviceStatus(ok));
    if (!ok) return Finish();
    const RawReadText text = InterpretRegisters(buffer[0], buffer[1], buffer[2], buffer[3]);
    results = text.lines;
    std::vector<std::string> registers;
    for (long long i = 0; i < count; ++i) registers.push_back(std::to_string(LoadLe16(buffer + 2 * i)));
    return Finish({{"address", std::to_string(*address)},
                   {"registers", JsonObject::Array(registers)},
                   {"word", text.wordField},
                   {"long", text.longField}});
}

int CliSession::WriteWord() {
    const auto address = ParseHexAddress(options.arguments[0]);
    if (!address) return Refuse(kAddressPrompt);
    const auto value = ParseWholeNumber(options.arguments[1]);
    if (!value || *value < INT_MIN || *value > INT_MAX) return Refuse(kIntegerPrompt);
    auto word = static_cast<std::uint16_t>(*value & 0xFFFF);
    if (options.Has("--swap")) word = static_cast<std::uint16_t>(word >> 8 | word << 8);
    std::uint8_t buffer[2];
    StoreLe16(buffer, word);
    TraceExchange(ToDeviceStatus(device.WriteRegisters(*address, 1, buffer)));
    return Finish();
}

int CliSession::WriteLong() {
    const auto address = ParseHexAddress(options.arguments[0]);
    if (!address) return Refuse(kAddressPrompt);
    const auto value = ParseWholeNumber(options.arguments[1]);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) return Refuse(kIntegerPrompt);
    std::uint8_t buffer[4];
    StoreLe32(buffer, static_cast<std::int32_t>(*value));
    TraceExchange(ToDeviceStatus(device.WriteRegisters(*address, 2, buffer)));
    return Finish();
}

int CliSession::WriteCoil() {
    const auto address = ParseHexAddress(options.arguments[0]);
    if (!address) return Refuse(kAddressPrompt);
    TraceExchange(ToDeviceStatus(device.WriteCoil(*address, 1)));
    return Finish();
}

int CliSession::Search() {
    int station = 0;
    const DeviceStatus found = device.FindStation(station);
    if (found == kDeviceOk) {
        messages.push_back(FormatText(kStationFoundFormat, station));
        return Finish({{"station", std::to_string(station)}});
    }
    messages.push_back(kStationNotFound);
    // Every station was tried: the counters of the last one would say nothing useful.
    err << kStationNotFound << "\n";
    explained = true;
    failed = true;
    return Finish();
}

int CliSession::ReadTime() {
    const ProgramNumber program = ParseProgramNumber(options.arguments[0]);
    if (!program.valid) return Refuse(kBadProgramMessage);
    ReadTimeParameters(device, *this, program);
    return Finish();
}

int CliSession::SelectProg() {
    const ProgramNumber program = ParseProgramNumber(options.arguments[0]);
    if (!program.valid) return Refuse(kBadProgramMessage);
    SelectRunningProgram(device, program.Index(), this);
    return Finish();
}

int CliSession::ReadId() {
    const IdentifierOutcome outcome = ReadIdentifier(device, *this, options.arguments[0], options.arguments[1]);
    if (outcome.message) return Refuse(*outcome.message);
    if (outcome.valueText) results.push_back(*outcome.valueText);
    return Finish({{"value", outcome.valueText.value_or("0")}});
}

int CliSession::WriteId() {
    const IdentifierOutcome outcome =
        WriteIdentifier(device, *this, options.arguments[0], options.arguments[1], options.arguments[2]);
    if (outcome.message) return Refuse(*outcome.message);
    return Finish();
}

int CliSession::Curves() {
    ShowCurveInfo(device, *this);
    return Finish();
}

void CliSession::AppendTraceLine(const std::string& line) {
    if (options.Has("--json")) {
        trace.push_back(line);
    } else {
        out << line << "\n";
    }
}

void CliSession::StartCommand() {
    const DeviceStatus started = device.StartCycle();
    sequencer.startOk = started == kDeviceOk ? 1 : 0;
    TraceExchange(started);
}

void CliSession::ReadFifoCommand() {
    if (fifoCount == 0) {
        AppendTraceLine(kFifoEmpty);
        return;
    }
    ResultRecord result;
    const DeviceStatus read = device.ReadFifoResult(ResultRecord::kRegisters, result.bytes.data());
    TraceExchange(read);
    if (read != kDeviceOk || device.exceptionReply) return;
    history.Add(HistoryEntry::From(result, NowMs()));
    for (const auto& line : ResultLines(result, options.Has("--erd"))) AppendTraceLine(line);
}

int CliSession::Cycle() {
    long long count = 1;
    if (const auto text = options.Value("--count")) {
        const auto parsed = ParseWholeNumber(*text);
        if (!parsed || *parsed < 1) return Refuse("--count takes a whole number of cycles, 1 or more");
        count = *parsed;
    }
    if (const auto text = options.Value("--pause")) {
        const auto parsed = ParseWholeNumber(*text);
        if (!parsed || *parsed < 0) return Refuse("--pause takes a whole number of seconds");
        pauseText = std::to_string(*parsed);
    }
    sequencer.ResetCounts();
    sequencer.SwitchOn();
    // One step a tick, as the console runs it; done once the last cycle has been reported. Unlike
    // the console, nobody watches: a sequencer stuck in a step (an instrument that stopped
    // answering) ends the run.
    // The time in a step is measured, not counted in ticks: a tick whose transaction times out lasts
    // far longer than the tick.
    using Clock = std::chrono::steady_clock;
    Clock::time_point stepStart = Clock::now();
    std::int32_t step = sequencer.sequencerState;
    while (!(sequencer.cycleCount >= count && sequencer.sequencerState == CycleSequencer::InterCycleWait)) {
        sequencer.RunSequencerStep();
        if (sequencer.sequencerState != step) stepStart = Clock::now();
        step = sequencer.sequencerState;
        if (step != CycleSequencer::InterCycleWait && Clock::now() - stepStart >= std::chrono::milliseconds(kStuckMs)) {
            err << "The instrument does not answer: the cycles stop.\n";
            explained = true;
            failed = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    }
    sequencer.SwitchOff();
    if (sequencer.startedOkCount < sequencer.cycleCount) failed = true;
    if (const auto csv = options.Value("--csv")) {
        std::ofstream file(*csv, std::ios::binary | std::ios::trunc);
        file << history.Csv();
        if (!file.good()) {
            err << "The results could not be written to " << *csv << ".\n";
            explained = true;
            failed = true;
        }
    }
    const HistoryStatistics stats = history.Statistics();
    return Finish({{"cycles", std::to_string(sequencer.cycleCount)},
                   {"started", std::to_string(sequencer.startedOkCount)},
                   {"results", std::to_string(stats.count)},
                   {"passed", std::to_string(stats.passed)}});
}

}  // namespace vexlo::cli
