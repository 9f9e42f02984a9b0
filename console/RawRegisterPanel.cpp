#include "console/RawRegisterPanel.h"

#include <climits>

#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "console/ConsoleMessages.h"
#include "console/RawRegisterText.h"

namespace vexlo {
namespace {}  // namespace

bool RawRegisterPanel::ExchangeFields() {
    const auto exchangeAddress = [this](Entry entry, std::string& text, std::uint16_t& address) {
        const std::string entered = view.EntryText(entry);
        const auto parsed = ParseHexAddress(entered);
        if (!parsed) {
            view.ShowValidationPrompt(entry, kAddressPrompt);
            return false;
        }
        text = entered;
        address = *parsed;
        return true;
    };
    if (!exchangeAddress(Entry::ReadAddress, readAddressText, readAddress)) return false;
    if (!exchangeAddress(Entry::WriteAddress, writeAddressText, writeAddress)) return false;

    const auto count = ParseWholeNumber(view.EntryText(Entry::WordCount));
    if (!count || *count < 0 || *count > UINT_MAX) {
        view.ShowValidationPrompt(Entry::WordCount, kIntegerPrompt);
        return false;
    }
    wordCount = static_cast<unsigned>(*count);
    if (wordCount < 1 || wordCount > kMaxWords) {
        view.ShowValidationPrompt(Entry::WordCount, FormatText(kWordCountPromptFormat, kMaxWords));
        return false;
    }
    const auto longValue = ParseWholeNumber(view.EntryText(Entry::WriteLong));
    if (!longValue || *longValue < INT32_MIN || *longValue > INT32_MAX) {
        view.ShowValidationPrompt(Entry::WriteLong, kIntegerPrompt);
        return false;
    }
    writeLongValue = static_cast<std::int32_t>(*longValue);
    const auto wordValue = ParseWholeNumber(view.EntryText(Entry::WriteWord));
    if (!wordValue || *wordValue < INT_MIN || *wordValue > INT_MAX) {
        view.ShowValidationPrompt(Entry::WriteWord, kIntegerPrompt);
        return false;
    }
    writeWordValue = static_cast<int>(*wordValue);
    return true;
}

void RawRegisterPanel::ShowFields() {
    view.SetEntryText(Entry::ReadAddress, readAddressText);
    view.SetEntryText(Entry::WriteAddress, writeAddressText);
    view.SetEntryText(Entry::WordCount, std::to_string(wordCount));
    view.SetEntryText(Entry::WriteLong, std::to_string(writeLongValue));
    view.SetEntryText(Entry::WriteWord, std::to_string(writeWordValue));
}

// Every command sends nothing after a refused entry: the screen no longer shows the value the
// member still holds.
void RawRegisterPanel::ReadWordsCommand() {
    if (!exchangeEntries()) return;
    const bool inputRegisters = view.IsChecked(Option::ReadInputRegister);
    results.Clear();
    const int count = static_cast<int>(wordCount);
    view.SetDisplayText(Display::ReadWord, "");
    view.SetDisplayText(Display::ReadLong, "");
    view.SetDisplayText(Display::ReadHex, "");
    std::uint8_t buffer[256] = {};
    int ok = 0;
    {
        PollGate::Hold hold(statusPoll);
        ok = inputRegisters ? device.ReadInputRegisters(readAddress, count, buffer)
                            : device.ReadRegisters(readAddress, count, buffer);
    }
    showExchange(ToDeviceStatus(ok));
    if (!ok) return;
    const RawReadText text = InterpretRegisters(buffer[0], buffer[1], buffer[2], buffer[3]);
    view.SetDisplayText(Display::ReadLong, text.longField);
    view.SetDisplayText(Display::ReadHex, text.hexField);
    view.SetDisplayText(Display::ReadWord, text.wordField);
    for (const auto& line : text.lines) results.AddLine(line);
}

void RawRegisterPanel::WriteWordCommand() {
    if (!exchangeEntries()) return;
    results.Clear();
    int ok = 0;
    if (view.IsChecked(Option::WriteBit)) {
        ok = device.WriteCoil(writeAddress, 1);
    } else {
        auto value = static_cast<std::uint16_t>(writeWordValue & 0xFFFF);
        if (view.IsChecked(Option::SwapWord)) value = static_cast<std::uint16_t>(value >> 8 | value << 8);
        std::uint8_t buffer[256] = {};
        StoreLe16(buffer, value);
        PollGate::Hold hold(statusPoll);
        ok = device.WriteRegisters(writeAddress, 1, buffer);
    }
    showExchange(ToDeviceStatus(ok));
}

void RawRegisterPanel::WriteLongCommand() {
    if (!exchangeEntries()) return;
    results.Clear();
    std::uint8_t buffer[256] = {};
    StoreLe32(buffer, writeLongValue);
    int ok = 0;
    {
        PollGate::Hold hold(statusPoll);
        ok = device.WriteRegisters(writeAddress, 2, buffer);
    }
    showExchange(ToDeviceStatus(ok));
}

}  // namespace vexlo
