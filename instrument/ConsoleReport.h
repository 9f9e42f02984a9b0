#pragma once

#include <string>

#include "instrument/DeviceStatus.h"

namespace vexlo {

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
};

}  // namespace vexlo
