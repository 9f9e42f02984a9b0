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

long WaitAndRead(int fd, std::uint8_t* buffer, std::size_t count, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, waitMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready == 0) return 0;
    if (p.revents & POLLIN) {
        const ssize_t n = ::read(fd, buffer, count);
        if (n > 0) return static_cast<long>(n);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return -1;  // readable but nothing: the other end is gone
    }
    return -1;  // POLLERR, POLLHUP, POLLNVAL
}

bool WriteWithin(int fd, const std::uint8_t* data, std::size_t count, const SerialTimeouts& timeouts,
                 std::size_t* written, bool* vanished) {
    *written = 0;
    *vanished = false;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(timeouts.writePerByteMs * count + timeouts.writeConstantMs);
    while (*written < count) {
        const long n = static_cast<long>(::write(fd, data + *written, count - *written));
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

}  // namespace vexlo
