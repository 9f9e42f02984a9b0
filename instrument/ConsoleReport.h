#pragma once

#include <cstdint>
#include <string>

#include "instrument/DeviceStatus.h"

namespace vexlo {

// A program's reject limits as read from the instrument: values in thousandths, and the unit field.
struct RejectLimits {
    std::int32_t test = 0;
    std::int32_t reference = 0;
    std::int32_t unit = 0;
};

// What instrument procedures write to the console: the frame trace of a finished transaction, the
// result list, and an operator message. The console implements it; tests record it.
class ConsoleReport {
public:
    virtual ~ConsoleReport() = default;
    // The request and reply lines of the device's last transaction (no result decoding).
    virtual void TraceExchange(DeviceStatus status) = 0;
    virtual void ClearTrace() = 0;
    virtual void ClearResults() = 0;
    virtual void AppendResult(const std::string& line) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    // A program's reject limits were read completely (program 1 to 8); or were written, so that the
    // limits read before no longer hold.
    virtual void RejectLimitsRead(int /*programNumber*/, const RejectLimits& /*limits*/) {}
    virtual void RejectLimitsChanged(int /*programNumber*/) {}
};

}  // namespace vexlo
