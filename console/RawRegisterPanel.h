#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "console/ConsoleView.h"
#include "console/PollGate.h"
#include "console/TraceList.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// The "[ R/W ]" group: any block of registers read and shown six ways, any register written as a
// word, a long or a coil.
class RawRegisterPanel {
public:
    static constexpr unsigned kMaxWords = 128;

    // exchangeEntries is the window's whole data exchange, which ends with ExchangeFields;
    // showExchange traces a finished transaction.
    RawRegisterPanel(TesterDevice& device, ConsoleView& view, TraceList& results, PollGate& statusPoll,
                     std::function<bool()> exchangeEntries, std::function<void(DeviceStatus)> showExchange)
        : device(device),
          view(view),
          results(results),
          statusPoll(statusPoll),
          exchangeEntries(std::move(exchangeEntries)),
          showExchange(std::move(showExchange)) {}

    // Takes the panel's entry fields into the members in the window's order: read address, write
    // address, "Num. of words" and its range, write Long, write Word. Stops at the first refused
    // field with its prompt; false then, and the command sends nothing.
    bool ExchangeFields();
    // Puts the members into the entry fields: the form starts with what the panel holds.
    void ShowFields();

    void ReadWordsCommand();
    void WriteWordCommand();
    void WriteLongCommand();

    std::string readAddressText = "2301";
    std::string writeAddressText = "6000";
    std::uint16_t readAddress = 0x2301;
    std::uint16_t writeAddress = 0x6000;
    unsigned wordCount = 1;
    int writeWordValue = 0;
    std::int32_t writeLongValue = 0;

private:
    TesterDevice& device;
    ConsoleView& view;
    TraceList& results;
    PollGate& statusPoll;
    std::function<bool()> exchangeEntries;
    std::function<void(DeviceStatus)> showExchange;
};

}  // namespace vexlo
