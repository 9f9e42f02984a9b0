#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/SerialDevice.h"

namespace vexlo {

// Moving bytes through one terminal descriptor; the read time-outs themselves are in TimedRead.

// Waits at most waitMs for bytes and reads up to count of them: the count read, 0 when none came in
// time, -1 once the descriptor is gone (hung up, or readable with nothing to read).
long WaitAndRead(int fd, std::uint8_t* buffer, std::size_t count, int waitMs);
// True when all went out within the write time-outs; vanished tells a descriptor that is gone.
bool WriteWithin(int fd, const std::uint8_t* data, std::size_t count, const SerialTimeouts& timeouts,
                 std::size_t* written, bool* vanished);

}  // namespace vexlo
