#pragma once

#include <string>
#include <vector>

#include "serial/SerialUi.h"

namespace vexlo::test {

// Keeps the port errors the serial layer would show, and counts its wait cursors, while alive.
class CapturingSerialUi final : public SerialUi {
public:
    CapturingSerialUi() { SetSerialUi(this); }
    ~CapturingSerialUi() override { SetSerialUi(nullptr); }
    void ShowPortError(const std::string& message) override { messages.push_back(message); }
    void BeginWait() override { ++waits; }
    std::vector<std::string> messages;
    int waits = 0;
};

}  // namespace vexlo::test
