#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "console/ConsoleView.h"
#include "console/TraceList.h"
#include "instrument/TesterDevice.h"

namespace vexlo {

// The "[ R/W ]" group: any block of registers read and shown six ways, any register written as a
// word, a long or a coil.
class RawRegisterPanel {
public:
    static constexpr unsigned kMaxWords = 128;

    RawRegisterPanel(TesterDevice& device, ConsoleView& view, TraceList& results, int& pollEnabled,
                     int& realTimeStatus, std::function<void(DeviceStatus)> showExchange)
        : device(device),
          view(view),
          results(results),
          pollEnabled(pollEnabled),
          realTimeStatus(realTimeStatus),
          showExchange(std::move(showExchange)) {}

    // Takes the entry fields into the members in the window's order: the real-time check state, read
    // address, write address, "Num. of words" and its range, write Long, write Word. Stops at the
    // first refused field with its prompt; false then, and the command sends nothing.
    bool ExchangeEntries();

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
    int& pollEnabled;
    int& realTimeStatus;
    std::function<void(DeviceStatus)> showExchange;
};

}  // namespace vexlo
