#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "console/ConsoleView.h"

namespace vexlo::test {

// A console screen that remembers everything the logic did to it, and answers with entries and
// check boxes the test sets.
class RecordingView final : public ConsoleView {
public:
    std::string EntryText(Entry entry) const override {
        const auto found = entries.find(entry);
        return found == entries.end() ? std::string() : found->second;
    }
    void SetEntryText(Entry entry, const std::string& text) override { entries[entry] = text; }
    bool IsChecked(Option option) const override { return checked.count(option) > 0; }
    void SetDisplayText(Display display, const std::string& text) override {
        displays[display] = text;
        ++displayWrites[display];
    }
    void SetStatusText(const std::string& text) override { statusText = text; }
    std::string StatusCaption() const override { return "[ Status ]"; }
    void SetStatusCaption(const std::string& text) override { statusCaption = text; }
    void SetAccessModeLabel(const std::string& text) override { accessModeLabel = text; }
    void SetLamp(int row, int, int) override { lampRows.push_back(row); }
    void SetLampRow(int row) override {
        if (lampRows.empty() || lampRows.back() != row) lampRows.push_back(row);
    }
    void SetLight(StatusLight light, bool lit) override { lights[light] = lit; }
    void SetCycleAnimation(bool on) override { animation.push_back(on); }
    void EnableCommandGroup(bool enabled) override { commandsEnabled = enabled; }
    void StartTimer(int periodMs) override {
        timerPeriods.push_back(periodMs);
        timerRunning = true;
    }
    void StopTimer() override { timerRunning = false; }
    void ShowMessage(const std::string& text, MessageKind) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    void ShowValidationPrompt(Entry entry, const std::string& text) override { prompts.emplace_back(entry, text); }
    void BeginWait() override { ++waits; }
    void EndWait() override {}
    bool RunProgramSetup(AppSettings& settings) override { return setupDialog ? setupDialog(settings) : false; }
    void RunTimeSetup(int programNumber) override { timeSetupPrograms.push_back(programNumber); }
    void RunIdentifierDialog() override { ++identifierDialogs; }
    TraceListObserver* TraceObserver() override { return nullptr; }
    TraceListObserver* ResultObserver() override { return nullptr; }

    std::map<Entry, std::string> entries;
    std::set<Option> checked;
    std::map<Display, std::string> displays;
    std::map<Display, int> displayWrites;
    std::string statusText;
    std::string statusCaption;
    std::string accessModeLabel;
    std::vector<int> lampRows;
    std::map<StatusLight, bool> lights;
    std::vector<bool> animation;
    bool commandsEnabled = true;
    std::vector<int> timerPeriods;
    bool timerRunning = false;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answerYes = true;
    std::vector<std::pair<Entry, std::string>> prompts;
    int waits = 0;
    std::function<bool(AppSettings&)> setupDialog;
    std::vector<int> timeSetupPrograms;
    int identifierDialogs = 0;
};

}  // namespace vexlo::test
