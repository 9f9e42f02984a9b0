// POSIX sockets under a network port.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/NetworkSocket.h"

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool IsGone(int error) {
    return error == ECONNRESET || error == EPIPE || error == ENOTCONN || error == EBADF || error == ETIMEDOUT;
}

class PosixSocket final : public NetworkSocket {
public:
    explicit PosixSocket(int fd) : fd(fd) {}
    ~PosixSocket() override { close(fd); }

    long Receive(std::uint8_t* buffer, std::size_t count, int waitMs) override {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, waitMs);
        if (ready < 0) return errno == EINTR ? 0 : -1;
        if (ready == 0) return 0;
        const ssize_t n = recv(fd, buffer, count, MSG_DONTWAIT);
        if (n > 0) {
            // Acknowledged at once: a server that holds small writes until the last one is
            // acknowledged (Nagle) would otherwise keep a late reply back until our next request, where
            // no waiting for quiet could tell it from the answer.
            const int on = 1;
            (void)setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
            return static_cast<long>(n);
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return -1;  // readable but nothing: the other end closed
    }

    std::size_t Pending() override {
        int waiting = 0;
        return ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0 ? static_cast<std::size_t>(waiting) : 0;
    }

    bool Send(const std::uint8_t* data, std::size_t count, int waitMs, bool* gone) override {
        *gone = false;
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
        std::size_t sent = 0;
        while (sent < count) {
            const ssize_t n = send(fd, data + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                *gone = IsGone(errno);
                return false;
            }
            pollfd p{fd, POLLOUT, 0};
            const int left = MillisecondsLeft(deadline);
            if (left <= 0) return false;
            if (poll(&p, 1, left) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                *gone = true;
                return false;
            }
        }
        return true;
    }

private:
    int fd;
};

}  // namespace

std::unique_ptr<NetworkSocket> ConnectSocket(const std::string& host, const std::string& port,
                                             Clock::time_point deadline, std::string* errorText) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (lookup != 0) {
        *errorText = gai_strerror(lookup);
        return nullptr;
    }
    int error = ETIMEDOUT;
    int connected = -1;
    for (addrinfo* candidate = found; candidate != nullptr && connected < 0; candidate = candidate->ai_next) {
        const int fd =
            socket(candidate->ai_family, candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, candidate->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        if (connect(fd, candidate->ai_addr, candidate->ai_addrlen) == 0) {
            connected = fd;
            break;
        }
        if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, MillisecondsLeft(deadline)) > 0) {
                socklen_t length = sizeof error;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
                    connected = fd;
                    break;
                }
            } else {
                error = ETIMEDOUT;
            }
        } else {
            error = errno;
        }
        close(fd);
    }
    freeaddrinfo(found);
    if (connected < 0) {
        *errorText = std::strerror(error);
        return nullptr;
    }
    // Frames are small and the instrument waits for all of one: no coalescing.
    const int on = 1;
    (void)setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::make_unique<PosixSocket>(connected);
}

}  // namespace vexlo
