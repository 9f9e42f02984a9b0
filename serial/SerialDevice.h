#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/PortSettings.h"

namespace vexlo {

// Time-outs of an open port, in the Windows COMMTIMEOUTS sense.
struct SerialTimeouts {
    std::uint32_t readIntervalMs = 50;  // silence after a byte that ends a read
    std::uint32_t readPerByteMs = 1;    // total read time-out: count x this + constant
    std::uint32_t readConstantMs = 500;
    std::uint32_t writePerByteMs = 100;  // total write time-out: count x this + constant
    std::uint32_t writeConstantMs = 100;
};

// One open serial device. Implemented once per platform; tests may install scripted ones.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Line parameters, RTS toggle for RS485 direction, queue sizes and time-outs. The caller ignores
    // the result, as a driver that refuses a detail still moves bytes.
    virtual bool Configure(const PortSettings& settings, const SerialTimeouts& timeouts) = 0;
    // Discards pending input and output, without waiting.
    virtual void Purge() = 0;
    // A read of count bytes failed, and its reply, or the reply to a retry that an earlier late reply
    // answered, may still be on its way: drops what arrives until the line has been quiet for as long
    // as that read could last, counted from the end of the last write's own read time-out at the
    // earliest, and twice that time-out at most in all. No such reply is then taken for a later
    // request's.
    virtual void DiscardLateReply(std::size_t count) {
        (void)count;
        Purge();
    }
    // Writes the whole run within the write time-outs; false on any failure.
    virtual bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) = 0;
    // One read of count bytes: returns once count bytes arrived, after readIntervalMs of silence
    // following a byte, or after the total time-out. False on a device failure.
    virtual bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) = 0;
    // True once the device has gone (unplugged, hung up, connection lost): it will not come back,
    // only a new open can bring the port back.
    virtual bool Vanished() const { return false; }
    // What the operator may want to know of how the device works (shown once when it opens).
    virtual std::string Describe() const { return {}; }
};

// Opens a device by the name the serial layer gives it ("COM3", "\\.\COM12"), exclusively. On
// failure returns nullptr and the operating system's text for the error.
using SerialDeviceOpener =
    std::function<std::unique_ptr<SerialDevice>(const std::string& deviceName, std::string* errorText)>;

std::unique_ptr<SerialDevice> OpenPlatformSerialDevice(const std::string& deviceName, std::string* errorText);

// Replaces the opener used by SerialPort (an empty function restores the platform one).
void SetSerialDeviceOpener(SerialDeviceOpener opener);
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& deviceName, std::string* errorText);

}  // namespace vexlo
