#include "serial/StreamIo_posix.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

// The errors with which a device or a connection says it is gone for good.
bool IsGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == ECONNRESET || error == EPIPE ||
           error == ENOTCONN || error == EBADF;
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

StreamResult ReadWithin(int fd, std::uint8_t* buffer, std::size_t count, const SerialTimeouts& timeouts,
                        std::size_t* received, const StreamDecoder& decode) {
    *received = 0;
    const auto start = Clock::now();
    const auto totalDeadline =
        start + std::chrono::milliseconds(timeouts.readPerByteMs * count + timeouts.readConstantMs);
    auto lastByte = start;
    std::uint8_t raw[512];
    while (*received < count) {
        auto deadline = totalDeadline;
        if (*received > 0) deadline = std::min(deadline, lastByte + std::chrono::milliseconds(timeouts.readIntervalMs));
        const auto now = Clock::now();
        if (now >= deadline) return StreamResult::Done;  // time-out: the caller compares the count
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
        timespec ts{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
        pollfd p{fd, POLLIN, 0};
        const int ready = ppoll(&p, 1, &ts, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return StreamResult::Vanished;
        }
        if (ready == 0) continue;
        if (p.revents & POLLIN) {
            // A decoder never makes more data bytes than raw ones, so the buffer cannot overflow.
            const std::size_t room = std::min(count - *received, sizeof raw);
            const ssize_t n = decode ? ::read(fd, raw, room) : ::read(fd, buffer + *received, room);
            if (n > 0) {
                const std::size_t got =
                    decode ? decode(raw, static_cast<std::size_t>(n), buffer + *received) : static_cast<std::size_t>(n);
                *received += got;
                if (got > 0) lastByte = Clock::now();
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            return StreamResult::Vanished;  // readable but nothing: the other end is gone
        }
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return StreamResult::Vanished;
    }
    return StreamResult::Done;
}

bool WriteWithin(int fd, const std::uint8_t* data, std::size_t count, const SerialTimeouts& timeouts,
                 std::size_t* written, bool* vanished, const StreamSender& send) {
    *written = 0;
    *vanished = false;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(timeouts.writePerByteMs * count + timeouts.writeConstantMs);
    while (*written < count) {
        const long n = send ? send(fd, data + *written, count - *written)
                            : static_cast<long>(::write(fd, data + *written, count - *written));
        if (n > 0) {
            *written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            *vanished = IsGone(errno);
            return false;
        }
        const int waitMs = MillisecondsUntil(deadline);
        if (waitMs <= 0) return false;
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, waitMs);
        if (ready < 0 && errno != EINTR) return false;
        if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            *vanished = true;
            return false;
        }
    }
    return true;
}

bool DiscardUntilQuiet(int fd, Clock::time_point lastWrite, std::uint32_t quietMs) {
    const auto quiet = std::chrono::milliseconds(quietMs);
    const auto limit = Clock::now() + 2 * quiet;
    auto quietFrom = std::max(Clock::now(), lastWrite + quiet);
    std::uint8_t scratch[512];
    for (;;) {
        const auto end = std::min(quietFrom + quiet, limit);
        const auto left = end - Clock::now();
        if (left <= Clock::duration::zero()) return true;
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(left);
        timespec ts{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
        pollfd p{fd, POLLIN, 0};
        const int ready = ppoll(&p, 1, &ts, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (ready == 0) continue;
        if (!(p.revents & POLLIN)) return false;
        const ssize_t n = ::read(fd, scratch, sizeof scratch);
        if (n > 0) {
            quietFrom = Clock::now();
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;
        }
    }
}

}  // namespace vexlo
