#pragma once

#include <string>

namespace vexlo {

// What the serial layer needs from a screen: a stop-icon message box for a port that does not open,
// and the wait cursor while an open runs. The console installs its own; the default writes the
// message to standard error.
class SerialUi {
public:
    virtual ~SerialUi() = default;
    virtual void ShowPortError(const std::string& message) = 0;
    virtual void BeginWait() {}
    virtual void EndWait() {}
};

// Installs the process-wide reporter (nullptr restores the default). The caller keeps ownership.
void SetSerialUi(SerialUi* ui);
SerialUi& CurrentSerialUi();

}  // namespace vexlo
