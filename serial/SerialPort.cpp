#include "serial/SerialPort.h"

#include <array>
#include <cstring>
#include <memory>

#include "common/TextFormat.h"
#include "serial/PortTable.h"
#include "serial/SerialDevice.h"
#include "serial/SerialUi.h"

namespace vexlo {
namespace {

struct PortHandle {
    std::unique_ptr<SerialDevice> device;
    std::uint8_t useCount = 0;
};

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
    SerialTimeouts timeouts;
    timeouts.readConstantMs = replyTimeoutMs;
    (void)device->Configure(GetPortSettings(portIndex), timeouts);
    device->Purge();
    handle.device = std::move(device);
    return true;
}

void SerialPort::Close() {
    PortHandle& handle = HandleOf(portIndex);
    if (handle.useCount > 0) --handle.useCount;
    if (handle.device && handle.useCount == 0) handle.device.reset();
}

bool SerialPort::WriteBytes(const std::uint8_t* frame, int count) {
    SerialDevice* device = HandleOf(portIndex).device.get();
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
    SerialDevice* device = HandleOf(portIndex).device.get();
    if (device == nullptr) return false;
    const auto wanted = static_cast<std::uint16_t>(count);
    std::size_t got = 0;
    const bool ok = device->Read(buffer, wanted, &got);
    *received = static_cast<int>(got);
    return ok && got == wanted;
}

}  // namespace vexlo
