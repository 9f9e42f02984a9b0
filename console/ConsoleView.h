#pragma once

#include <string>

#include "console/TraceList.h"
#include "instrument/Records.h"

namespace vexlo {

class AppSettings;

// Entry fields the console reads (and a few it writes).
enum class Entry {
    ReadAddress,     // raw panel read "Addr(Hex)"
    WordCount,       // "Num. of words"
    WriteAddress,    // raw panel write "Addr(Hex)"
    WriteWord,       // write data "Word"
    WriteLong,       // write data "Long"
    TimeProgram,     // "Prog n°" of "[ Time Param.]"
    RunningProgram,  // "Prog n°" of "[ Running Prog ]"
    InterCycle,      // "Inter Cyc (sec)"
};

// Check boxes the console reads at the moment of use.
enum class Option { RealTimeStatus, VexloErd, ReadFifo, ReadInputRegister, SwapWord, WriteBit };

// Read-only fields the console writes.
enum class Display {
    ComNumber,
    Station,
    Requests,
    Errors,
    TimeoutErrors,
    CrcErrors,
    NegativeResponses,
    RunningProgram,
    FifoCount,
    TestType,
    RelayStatus,
    StepCode,
    Measure1,
    Measure1Unit,
    Measure2,
    Measure2Unit,
    ReadWord,
    ReadLong,
    ReadHex,
};

// The five status-bit lights.
enum class StatusLight { Ok, TestReject, ReferenceReject, Alarm, EndOfCycle };

enum class MessageKind { Warning, Stop, Information };

// Lamp rows of the communication lamp.
constexpr int kLampRed = 0;
constexpr int kLampGreen = 16;
constexpr int kLampYellow = 32;

// The screen as the console logic sees it. The Qt window implements it; tests record it.
class ConsoleView {
public:
    virtual ~ConsoleView() = default;

    virtual std::string EntryText(Entry entry) const = 0;
    virtual void SetEntryText(Entry entry, const std::string& text) = 0;
    virtual bool IsChecked(Option option) const = 0;
    virtual void SetDisplayText(Display display, const std::string& text) = 0;

    virtual void SetStatusText(const std::string& text) = 0;
    // The "[ Status ]" group caption as the form has it, and its replacement.
    virtual std::string StatusCaption() const = 0;
    virtual void SetStatusCaption(const std::string& text) = 0;
    virtual void SetAccessModeLabel(const std::string& text) = 0;

    virtual void SetLamp(int row, int column, int rowOffset) = 0;
    // Redraws only when the row changes.
    virtual void SetLampRow(int row) = 0;
    // Repaints only when the state changes.
    virtual void SetLight(StatusLight light, bool lit) = 0;
    virtual void SetCycleAnimation(bool on) = 0;
    // The "[ Vexlo Command ]" group and every control inside it.
    virtual void EnableCommandGroup(bool enabled) = 0;

    // Timer 1 of the console: single-shot, restarted by each tick.
    virtual void StartTimer(int periodMs) = 0;
    virtual void StopTimer() = 0;

    virtual void ShowMessage(const std::string& text, MessageKind kind) = 0;
    // The same, once control is back in the event loop: for a report raised in the middle of a command.
    virtual void ShowMessageLater(const std::string& text, MessageKind kind) { ShowMessage(text, kind); }
    virtual bool AskYesNo(const std::string& text) = 0;
    // The standard prompt of a refused entry; the focus goes to that field.
    virtual void ShowValidationPrompt(Entry entry, const std::string& text) = 0;
    virtual void BeginWait() = 0;
    virtual void EndWait() = 0;

    // The dialogs the console opens: "Program setup" (true when confirmed), "Time Setup" for a program
    // number, "Identifiants". They run modally.
    virtual bool RunProgramSetup(AppSettings& settings) = 0;
    virtual void RunTimeSetup(int programNumber) = 0;
    virtual void RunIdentifierDialog() = 0;

    // The two lists mirror the console's models through these (nullptr: nothing to mirror).
    virtual TraceListObserver* TraceObserver() = 0;
    virtual TraceListObserver* ResultObserver() = 0;

    // Every real-time status the console shows, for a live trend.
    virtual void StatusShown(const StatusRecord& /*status*/) {}
};

}  // namespace vexlo
