#pragma once

#include <string>
#include <vector>

#include "console/TraceList.h"
#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace vexlo::test {

// Records what instrument procedures report: the trace lines they would show (built from the
// device's last frames), the result list and the messages.
class RecordingReport final : public ConsoleReport {
public:
    explicit RecordingReport(TesterDevice& device) : device(device) {}

    void TraceExchange(DeviceStatus status) override {
        int requestLength = 0;
        int replyLength = 0;
        const auto* request = device.LastRequest(&requestLength);
        const auto* reply = device.LastReply(&replyLength);
        for (auto& line : ExchangeLines(request, requestLength, reply, replyLength, status != kDeviceOk)) {
            trace.push_back(line);
        }
    }
    void ClearTrace() override { trace.clear(); }
    void ClearResults() override { results.clear(); }
    void AppendResult(const std::string& line) override { results.push_back(line); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void RejectLimitsRead(int programNumber, const RejectLimits& limits) override {
        limitsRead.push_back({programNumber, limits});
    }

    void RejectLimitsChanged(int programNumber) override { limitsChanged.push_back(programNumber); }

    struct LimitsRead {
        int program;
        RejectLimits limits;
    };
    std::vector<LimitsRead> limitsRead;
    std::vector<int> limitsChanged;

    std::vector<std::string> trace;
    std::vector<std::string> results;
    std::vector<std::string> messages;

private:
    TesterDevice& device;
};

}  // namespace vexlo::test
