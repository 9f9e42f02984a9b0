#include "serial/SerialPort.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/MonotonicClock.h"
#include "common/TextFormat.h"
#include "serial/PortTable.h"
#include "serial/SerialDevice.h"
#include "serial/SerialUi.h"

namespace vexlo {
namespace {

struct PortHandle {
    std::unique_ptr<SerialDevice> device;
    std::uint8_t useCount = 0;
    // The device went away while the port was in use: it is opened again, silently, at most once a
    // second, on the transactions that follow.
    bool lost = false;
    std::uint32_t lastAttemptMs = 0;  // when the last attempt to reopen ended
    // A failed read whose reply may still come: its byte count, 0 when the line is settled.
    std::size_t lateReplyCount = 0;
    SerialTimeouts timeouts;
};

constexpr std::uint32_t kReopenIntervalMs = 1000;

std::array<PortHandle, kPortCount>& HandleTable() {
    static std::array<PortHandle, kPortCount> table;
    return table;
}

int liveObjects = 0;

// Indexes outside the table share slot 0, as the settings table does.
PortHandle& HandleOf(int index) {
    return HandleTable()[static_cast<size_t>(index < 0 || index >= kPortCount ? 0 : index)];
}

class WaitCursor {
public:
    WaitCursor() { CurrentSerialUi().BeginWait(); }
    ~WaitCursor() { CurrentSerialUi().EndWait(); }
};

}  // namespace

SerialPort::SerialPort() {
    if (liveObjects == 0) {
        ResetPortTable();
        LoadPortTable();
    }
    ++liveObjects;
}

SerialPort::~SerialPort() {
    Close();
    --liveObjects;
}

int SerialPort::UseCount(int index) { return HandleOf(index).useCount; }

std::string SerialPort::DeviceName(int index) {
    return index > 8 ? FormatText("\\\\.\\COM%d", index + 1) : FormatText("COM%d", index + 1);
}

bool SerialPort::IsOpen() const { return HandleOf(portIndex).device != nullptr; }

bool SerialPort::Open() {
    WaitCursor wait;
    PortHandle& handle = HandleOf(portIndex);
    ++handle.useCount;
    if (handle.device) return true;

    std::string errorText;
    auto device = OpenSerialDevice(DeviceName(portIndex), &errorText);
    if (!device) {
        const PortSettings settings = GetPortSettings(portIndex);
        const std::string name(settings.name, strnlen(settings.name, sizeof settings.name));
        CurrentSerialUi().ShowPortError(errorText + "\n Serial Port -> " + name);
        return false;
    }
    handle.timeouts = SerialTimeouts{};
    handle.timeouts.readConstantMs = replyTimeoutMs;
    (void)device->Configure(GetPortSettings(portIndex), handle.timeouts);
    device->Purge();
    if (const std::string how = device->Describe(); !how.empty()) {
        std::fprintf(stderr, "vexlo: %s: %s\n", DeviceName(portIndex).c_str(), how.c_str());
    }
    handle.device = std::move(device);
    handle.lost = false;
    return true;
}

void SerialPort::Close() {
    PortHandle& handle = HandleOf(portIndex);
    if (handle.useCount > 0) --handle.useCount;
    if (handle.useCount == 0) {
        handle.device.reset();
        handle.lost = false;
        handle.lateReplyCount = 0;
    }
}

SerialDevice* SerialPort::LiveDevice() {
    PortHandle& handle = HandleOf(portIndex);
    if (handle.device && handle.device->Vanished()) {
        handle.device.reset();
        handle.lost = true;
        handle.lastAttemptMs = CurrentClock().TickCountMs();
    }
    if (!handle.device && handle.lost && CurrentClock().TickCountMs() - handle.lastAttemptMs >= kReopenIntervalMs) {
        std::string ignored;
        if (auto device = OpenSerialDevice(DeviceName(portIndex), &ignored)) {
            (void)device->Configure(GetPortSettings(portIndex), handle.timeouts);
            device->Purge();
            handle.device = std::move(device);
            handle.lost = false;
            handle.lateReplyCount = 0;
        }
        // Counted from the end: a slow attempt (a server that takes the connection and then stays
        // silent) is not followed at once by another.
        handle.lastAttemptMs = CurrentClock().TickCountMs();
    }
    return handle.device.get();
}

bool SerialPort::WriteBytes(const std::uint8_t* frame, int count) {
    SerialDevice* device = LiveDevice();
    if (device == nullptr || count < 0) return false;
    // Stale input from an earlier exchange must not be taken for this frame's reply.
    device->Purge();
    std::size_t written = 0;
    const bool ok = device->Write(frame, static_cast<std::size_t>(count), &written);
    if (purgeAfterWrite) device->Purge();
    return ok && written == static_cast<std::size_t>(count);
}

bool SerialPort::ReadBytes(std::uint8_t* buffer, int count, int* received) {
    *received = 0;
    SerialDevice* device = LiveDevice();
    if (device == nullptr) return false;
    const auto wanted = static_cast<std::uint16_t>(count);
    std::size_t got = 0;
    const bool ok = device->Read(buffer, wanted, &got);
    *received = static_cast<int>(got);
    if (ok && got == wanted) return true;
    ExpectLateReply(count);
    return false;
}

void SerialPort::ExpectLateReply(int count) { HandleOf(portIndex).lateReplyCount = static_cast<std::uint16_t>(count); }

void SerialPort::SettleLine() {
    PortHandle& handle = HandleOf(portIndex);
    if (handle.lateReplyCount == 0) return;
    SerialDevice* device = LiveDevice();  // a device opened anew has nothing late to drop
    if (device != nullptr && handle.lateReplyCount > 0) device->DiscardLateReply(handle.lateReplyCount);
    handle.lateReplyCount = 0;
}

}  // namespace vexlo
