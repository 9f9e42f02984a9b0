#include "tests/support/ScriptedDevice.h"

#include <algorithm>
#include <cstring>

#include "common/MonotonicClock.h"

namespace vexlo::test {
namespace {

class ScriptedDevice final : public SerialDevice {
public:
    explicit ScriptedDevice(std::shared_ptr<LinkScript> script) : script(std::move(script)) {}

    bool Configure(const PortSettings&, const SerialTimeouts& timeouts) override {
        script->configured.push_back(timeouts);
        return true;
    }
    void Purge() override {}

    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        script->sent.emplace_back(data, data + count);
        script->sentAt.push_back(CurrentClock().PerformanceCounter());
        if (script->onWrite) script->onWrite(script->sent.back());
        current = script->attempts.empty() ? ScriptedAttempt{} : script->attempts.front();
        if (!script->attempts.empty()) script->attempts.pop_front();
        *written = current.sendFails ? 0 : count;
        return !current.sendFails;
    }

    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        ++script->reads;
        const std::size_t n = std::min(count, current.reply.size());
        if (n > 0) std::memcpy(buffer, current.reply.data(), n);
        *received = n;
        return true;
    }

private:
    std::shared_ptr<LinkScript> script;
    ScriptedAttempt current;
};

}  // namespace

ScriptedLink::ScriptedLink() {
    auto shared = script;
    SetSerialDeviceOpener([shared](const std::string&, std::string*) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<ScriptedDevice>(shared);
    });
}

ScriptedLink::~ScriptedLink() { SetSerialDeviceOpener(nullptr); }

}  // namespace vexlo::test
