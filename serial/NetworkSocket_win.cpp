// Winsock under a network port.
#include <winsock2.h>
#include <ws2tcpip.h>
// After the two above.
#include <mstcpip.h>

#include <mutex>

#include "serial/NetworkSocket.h"

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string ErrorText(int error) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(error),
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    std::string result(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
        result.pop_back();
    }
    return result;
}

bool IsGone(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAENOTCONN || error == WSAESHUTDOWN ||
           error == WSAENOTSOCK || error == WSAETIMEDOUT;
}

// Winsock is started once for the process and stays up.
bool StartWinsock() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

class WinsockSocket final : public NetworkSocket {
public:
    explicit WinsockSocket(SOCKET handle) : handle(handle) {}
    ~WinsockSocket() override { closesocket(handle); }

    long Receive(std::uint8_t* buffer, std::size_t count, int waitMs) override {
        WSAPOLLFD p{handle, POLLRDNORM, 0};
        const int ready = WSAPoll(&p, 1, waitMs);
        if (ready == SOCKET_ERROR) return -1;
        if (ready == 0) return 0;
        const int n = recv(handle, reinterpret_cast<char*>(buffer), static_cast<int>(count), 0);
        if (n > 0) return n;
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
        return -1;  // readable but nothing: the other end closed
    }

    std::size_t Pending() override {
        u_long waiting = 0;
        return ioctlsocket(handle, FIONREAD, &waiting) == 0 ? static_cast<std::size_t>(waiting) : 0;
    }

    bool Send(const std::uint8_t* data, std::size_t count, int waitMs, bool* gone) override {
        *gone = false;
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
        std::size_t sent = 0;
        while (sent < count) {
            const int n = send(handle, reinterpret_cast<const char*>(data + sent), static_cast<int>(count - sent), 0);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            const int error = WSAGetLastError();
            if (error != WSAEWOULDBLOCK) {
                *gone = IsGone(error);
                return false;
            }
            const int left = MillisecondsLeft(deadline);
            if (left <= 0) return false;
            WSAPOLLFD p{handle, POLLWRNORM, 0};
            if (WSAPoll(&p, 1, left) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                *gone = true;
                return false;
            }
        }
        return true;
    }

private:
    SOCKET handle;
};

}  // namespace

std::unique_ptr<NetworkSocket> ConnectSocket(const std::string& host, const std::string& port,
                                             Clock::time_point deadline, std::string* errorText) {
    if (!StartWinsock()) {
        *errorText = ErrorText(WSASYSNOTREADY);
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) {
        *errorText = ErrorText(WSAGetLastError());
        return nullptr;
    }
    int error = WSAETIMEDOUT;
    SOCKET connected = INVALID_SOCKET;
    for (addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        const SOCKET handle = socket(candidate->ai_family, candidate->ai_socktype, candidate->ai_protocol);
        if (handle == INVALID_SOCKET) {
            error = WSAGetLastError();
            continue;
        }
        u_long nonBlocking = 1;
        ioctlsocket(handle, FIONBIO, &nonBlocking);
        if (connect(handle, candidate->ai_addr, static_cast<int>(candidate->ai_addrlen)) == 0) {
            connected = handle;
            break;
        }
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            WSAPOLLFD p{handle, POLLWRNORM, 0};
            const int ready = WSAPoll(&p, 1, MillisecondsLeft(deadline));
            int status = 0;
            int length = sizeof status;
            if (ready > 0 && getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&status), &length) == 0 &&
                status == 0 && !(p.revents & (POLLERR | POLLHUP))) {
                connected = handle;
                break;
            }
            error = ready > 0 ? (status != 0 ? status : WSAECONNREFUSED) : WSAETIMEDOUT;
        }
        closesocket(handle);
    }
    freeaddrinfo(found);
    if (connected == INVALID_SOCKET) {
        *errorText = ErrorText(error);
        return nullptr;
    }
    // Frames are small and the instrument waits for all of one: no coalescing.
    const BOOL on = TRUE;
    setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // Every segment acknowledged at once: a server that holds small writes until the last one is
    // acknowledged (Nagle) would otherwise keep a late reply back until our next request. Older
    // Windows refuses it; the wait for quiet after a failed exchange still covers most such replies.
    DWORD everySegment = 1;
    DWORD returned = 0;
    WSAIoctl(connected, SIO_TCP_SET_ACK_FREQUENCY, &everySegment, sizeof everySegment, nullptr, 0, &returned, nullptr,
             nullptr);
    return std::make_unique<WinsockSocket>(connected);
}

}  // namespace vexlo
