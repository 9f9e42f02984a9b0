#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "serial/SerialDevice.h"

namespace vexlo {

// Reading and writing one descriptor (a terminal or a socket) within a port's time-outs, the same way
// for every backend: a read ends when the count arrived, after the interval of silence that follows a
// byte, or after count x per-byte + constant in all.
enum class StreamResult { Done, Vanished };

// Turns the raw bytes read into the port's data bytes (a protocol's escapes, say); returns how many
// data bytes it put out. Raw bytes that carry no data give none.
using StreamDecoder = std::function<std::size_t(const std::uint8_t* raw, std::size_t count, std::uint8_t* data)>;
// One attempt to put bytes on the descriptor: the count written, or -1 with errno set.
using StreamSender = std::function<long(int fd, const std::uint8_t* data, std::size_t count)>;

StreamResult ReadWithin(int fd, std::uint8_t* buffer, std::size_t count, const SerialTimeouts& timeouts,
                        std::size_t* received, const StreamDecoder& decode = nullptr);
// True when all went out within the write time-outs; vanished tells a descriptor that is gone.
bool WriteWithin(int fd, const std::uint8_t* data, std::size_t count, const SerialTimeouts& timeouts,
                 std::size_t* written, bool* vanished, const StreamSender& send = nullptr);
// Reads and drops what arrives until the descriptor has been quiet for quietMs counted from
// lastWrite + quietMs at the earliest (the last request's own reply may still come within its read
// time-out), 2 x quietMs at most in all; false when it is gone.
bool DiscardUntilQuiet(int fd, std::chrono::steady_clock::time_point lastWrite, std::uint32_t quietMs);

}  // namespace vexlo
