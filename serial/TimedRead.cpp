#include "serial/TimedRead.h"

#include <algorithm>
#include <cstring>

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds to wait for the time point, rounded up so that a wait never ends early.
int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

std::chrono::milliseconds ReadTimeout(std::size_t count, const SerialTimeouts& timeouts) {
    return std::chrono::milliseconds(static_cast<std::uint64_t>(timeouts.readPerByteMs) * count +
                                     timeouts.readConstantMs);
}

}  // namespace

bool ReadWithTimeouts(const ByteWait& wait, const ByteDecoder& decode, std::uint8_t* buffer, std::size_t count,
                      const SerialTimeouts& timeouts, std::size_t* received) {
    *received = 0;
    const auto start = Clock::now();
    const auto total = start + ReadTimeout(count, timeouts);
    auto lastByte = start;
    std::uint8_t raw[512];
    while (*received < count) {
        auto deadline = total;
        if (*received > 0) deadline = std::min(deadline, lastByte + std::chrono::milliseconds(timeouts.readIntervalMs));
        const int waitMs = MillisecondsUntil(deadline);
        if (waitMs <= 0) return true;  // time-out: the caller compares the count
        // A decoder never makes more data bytes than raw ones, so the buffer cannot overflow.
        const std::size_t room = std::min(count - *received, sizeof raw);
        const long n = wait(raw, room, waitMs);
        if (n < 0) return false;
        if (n == 0) continue;
        std::size_t got = static_cast<std::size_t>(n);
        if (decode) {
            got = decode(raw, got, buffer + *received);
        } else {
            std::memcpy(buffer + *received, raw, got);
        }
        *received += got;
        if (got > 0) lastByte = Clock::now();
    }
    return true;
}

bool DiscardUntilQuiet(const ByteWait& wait, const ByteDecoder& decode, std::size_t count,
                       const SerialTimeouts& timeouts, Clock::time_point lastWrite) {
    const auto quiet = ReadTimeout(count, timeouts);
    const auto limit = Clock::now() + 2 * quiet;
    auto quietFrom = std::max(Clock::now(), lastWrite + quiet);
    std::uint8_t raw[512];
    std::uint8_t data[512];
    for (;;) {
        const int waitMs = MillisecondsUntil(std::min(quietFrom + quiet, limit));
        if (waitMs <= 0) return true;
        const long n = wait(raw, sizeof raw, waitMs);
        if (n < 0) return false;
        if (n == 0) continue;
        if (decode) decode(raw, static_cast<std::size_t>(n), data);
        quietFrom = Clock::now();
    }
}

}  // namespace vexlo
