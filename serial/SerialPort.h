#pragma once

#include <cstdint>
#include <string>

#include "serial/PortSettings.h"

namespace vexlo {

// The serial line to the instrument. Ports are chosen by index (0 = COM1); every SerialPort naming the
// same index shares one process-wide handle with a use count. Knows nothing of Modbus.
class SerialPort {
public:
    SerialPort();
    virtual ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    void SetPortIndex(int index) { portIndex = index; }
    int PortIndex() const { return portIndex; }
    // The switch becomes the negation of the argument; the console always passes 1 (purge off).
    void SetPurgeAfterWrite(bool flag) { purgeAfterWrite = !flag; }

    // Constant part of the read time-out; reaches the device at the next open.
    std::uint32_t replyTimeoutMs = 500;

    static std::string DeviceName(int index);

    // Takes one use of the port and opens it when it is not open yet. A failure is shown through
    // SerialUi (system text + "\n Serial Port -> " + port name); the use stays taken.
    bool Open();
    // Gives back one use; closes the handle when none is left.
    void Close();
    bool IsOpen() const;

    // A device that vanished (unplugged adapter, lost connection) is reopened by these, silently and
    // at most once a second, with the port's name and settings: traffic resumes when it is back.
    bool WriteBytes(const std::uint8_t* frame, int count);
    // True only when exactly count bytes arrived; received tells how many did.
    bool ReadBytes(std::uint8_t* buffer, int count, int* received);

    // Process-wide use count of a port index.
    static int UseCount(int index);

private:
    // The port's device, opened again when it went away and a second has passed since the last try.
    class SerialDevice* LiveDevice();

    int portIndex = 0;
    bool purgeAfterWrite = false;
};

}  // namespace vexlo
