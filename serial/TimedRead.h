#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "serial/SerialDevice.h"

namespace vexlo {

// The time-outs of a port's reads, the same for every device that moves bytes through a descriptor
// or a socket; the device only says how to wait for bytes.

// Waits at most waitMs for bytes and reads up to count of them: the count read, 0 when none came in
// time, -1 once the device is gone.
using ByteWait = std::function<long(std::uint8_t* buffer, std::size_t count, int waitMs)>;
// Turns raw bytes into the port's data bytes (a protocol's escapes, say), never more than it got;
// returns how many it put out. Empty: the bytes are the data.
using ByteDecoder = std::function<std::size_t(const std::uint8_t* raw, std::size_t count, std::uint8_t* data)>;

// One read of count bytes: ends when they arrived, after the interval of silence that follows a byte,
// or after count x per-byte + constant in all. False when the device is gone.
bool ReadWithTimeouts(const ByteWait& wait, const ByteDecoder& decode, std::uint8_t* buffer, std::size_t count,
                      const SerialTimeouts& timeouts, std::size_t* received);

// Drops what arrives until the device has been quiet for the read time-out of count bytes, counted
// from the end of the last write's own read time-out at the earliest (that request may have been
// answered early by an earlier attempt's late reply, its own reply still coming), and twice that
// time-out at most in all. False when the device is gone.
bool DiscardUntilQuiet(const ByteWait& wait, const ByteDecoder& decode, std::size_t count,
                       const SerialTimeouts& timeouts, std::chrono::steady_clock::time_point lastWrite);

}  // namespace vexlo
