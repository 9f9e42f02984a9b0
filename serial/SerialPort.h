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
    // The argument asks to leave the purge after each write out: the console always passes 1, so the
    // port never purges after a write.
    void SetPurgeAfterWrite(bool leaveOut) { purgeAfterWrite = !leaveOut; }

    // Constant part of the read time-out; reaches the device at the next open.
    std::uint32_t replyTimeoutMs = 500;

    static std::string DeviceName(int index);

    // Takes one use of the port and opens it when it is not open yet. A failure is shown through
    // SerialUi (system text + "\n Serial Port -> " + port name); the use stays taken.
    bool Open();
    // Gives back one use; closes the handle when none is left.
    void Close();
    bool IsOpen() const;

    // A device that vanished (unplugged adapter, lost connection) is reopened by these, silently, with
    // the port's name and settings: traffic resumes when it is back. An attempt to reopen, successful
    // or not, holds off the next one for a second counted from its end.
    bool WriteBytes(const std::uint8_t* frame, int count);
    // True only when exactly count bytes arrived; received tells how many did.
    bool ReadBytes(std::uint8_t* buffer, int count, int* received);

    // A reply of count bytes failed: it may still be on its way. The next SettleLine waits until the
    // line has been quiet for as long as that read could last, so that no later request takes it.
    void ExpectLateReply(int count);
    // Called before the first attempt of a new request.
    void SettleLine();

    // Process-wide use count of a port index.
    static int UseCount(int index);

private:
    // The port's device, opened again when it went away and a second has passed since the last try.
    class SerialDevice* LiveDevice();

    int portIndex = 0;
    bool purgeAfterWrite = false;
};

}  // namespace vexlo
