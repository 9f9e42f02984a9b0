#pragma once

#include <memory>

#include "serial/SerialDevice.h"

namespace vexlo {

// The control calls a terminal device makes on its line, one place each, so that a test can watch
// their order around a write.
class TtyLine {
public:
    virtual ~TtyLine() = default;
    virtual int Fd() const = 0;
    // The kernel raises RTS while it sends (RS485 mode); false where the driver has no such mode.
    virtual bool EnableKernelRs485() = 0;
    virtual bool SetRts(bool on) = 0;
    // Returns once every written bit has left the transmitter.
    virtual bool Drain() = 0;
    virtual void WaitMicroseconds(long microseconds) = 0;
};

// How a port switches an RS485 converter between sending and listening.
enum class DirectionControl {
    Kernel,      // the driver raises RTS while it sends
    RtsToggled,  // the console raises RTS before a write and drops it once the last bit has left
    None,        // RTS cannot be set (a pseudo-terminal): converters that switch themselves only
};

// The line calls of a terminal descriptor.
std::unique_ptr<TtyLine> MakePosixTtyLine(int fd);
// A serial device on a terminal line; it takes the descriptor (and closes it).
std::unique_ptr<SerialDevice> MakeTtyDevice(std::unique_ptr<TtyLine> line);
const char* DirectionControlName(DirectionControl control);

}  // namespace vexlo
