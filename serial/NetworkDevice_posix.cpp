#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

#include "serial/NetworkDevice.h"
#include "serial/StreamIo_posix.h"
#include "serial/TelnetCodec.h"

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kRawScheme = "tcp://";
constexpr const char* kTelnetScheme = "rfc2217://";
constexpr int kConnectTimeoutMs = 2000;

struct ServerAddress {
    bool telnet = false;
    std::string host;
    std::string port;
};

std::optional<ServerAddress> ParseAddress(const std::string& text) {
    ServerAddress address;
    std::string rest;
    if (text.rfind(kRawScheme, 0) == 0) {
        rest = text.substr(std::strlen(kRawScheme));
    } else if (text.rfind(kTelnetScheme, 0) == 0) {
        address.telnet = true;
        rest = text.substr(std::strlen(kTelnetScheme));
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    const auto colon = rest.rfind(':');
    if (colon == std::string::npos || colon + 1 == rest.size()) return std::nullopt;
    address.host = rest.substr(0, colon);
    address.port = rest.substr(colon + 1);
    // "[::1]:5000": the brackets only mark the address.
    if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']') {
        address.host = address.host.substr(1, address.host.size() - 2);
    }
    if (address.host.empty()) return std::nullopt;
    return address;
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int Connect(const ServerAddress& address, std::string* errorText) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
    if (lookup != 0) {
        *errorText = gai_strerror(lookup);
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
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
        return -1;
    }
    // Frames are small and the instrument waits for all of one: no coalescing.
    const int on = 1;
    (void)setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return connected;
}

long SendNoSignal(int fd, const std::uint8_t* data, std::size_t count) {
    return static_cast<long>(send(fd, data, count, MSG_NOSIGNAL));
}

class SocketSerialDevice final : public SerialDevice {
public:
    SocketSerialDevice(int fd, bool telnet) : fd(fd), telnet(telnet) {}
    ~SocketSerialDevice() override { close(fd); }

    // Telnet: offers the options, asks the line's speed and waits for the server to answer it. A
    // server that turns the connection away (its port is in use) closes it instead, often after a
    // line of text, even when it has agreed to the option first.
    bool Negotiate(std::string* errorText) {
        std::vector<std::uint8_t> hello = TelnetCodec::Greeting();
        const auto query = TelnetCodec::ComPortCommand(TelnetCodec::kSetBaudRate, {0, 0, 0, 0});
        hello.insert(hello.end(), query.begin(), query.end());
        if (!SendRaw(hello)) {
            *errorText = std::strerror(ECONNRESET);
            return false;
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
        std::string said;
        const auto answered = [this] {
            const auto& answers = codec.ServerAnswers();
            return std::find(answers.begin(), answers.end(), 100 + TelnetCodec::kSetBaudRate) != answers.end();
        };
        while (!answered()) {
            pollfd p{fd, POLLIN, 0};
            const int ready = poll(&p, 1, MillisecondsLeft(deadline));
            if (ready <= 0) {
                *errorText = std::strerror(ETIMEDOUT);
                return false;
            }
            std::uint8_t raw[256];
            std::uint8_t data[256];
            const ssize_t n = recv(fd, raw, sizeof raw, 0);
            if (n <= 0) {
                while (!said.empty() && (said.back() == '\r' || said.back() == '\n')) said.pop_back();
                *errorText = said.empty() ? std::strerror(ECONNRESET) : said;
                return false;
            }
            std::vector<std::uint8_t> replies;
            const std::size_t got = codec.Feed(raw, static_cast<std::size_t>(n), data, replies);
            said.append(reinterpret_cast<const char*>(data), got);
            if (!replies.empty()) SendRaw(replies);
        }
        return true;
    }

    bool Configure(const PortSettings& settings, const SerialTimeouts& newTimeouts) override {
        timeouts = newTimeouts;
        if (!telnet) return true;
        return SendRaw(
            TelnetCodec::LineSettings(settings.Baud(), settings.dataBits, settings.parity, settings.stopBits));
    }

    void Purge() override {
        if (telnet) SendRaw(TelnetCodec::ComPortCommand(TelnetCodec::kPurgeData, {3}));
        // What already arrived here is stale as well; a Telnet command cut in two stays whole.
        std::uint8_t raw[512];
        std::uint8_t data[512];
        for (;;) {
            const ssize_t n = recv(fd, raw, sizeof raw, MSG_DONTWAIT);
            if (n == 0) vanished = true;
            if (n <= 0) return;
            if (telnet) Decode(raw, static_cast<std::size_t>(n), data);
        }
    }

    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        const std::vector<std::uint8_t> wire =
            telnet ? TelnetCodec::Escape(data, count) : std::vector<std::uint8_t>(data, data + count);
        std::size_t sent = 0;
        bool gone = false;
        const bool ok = WriteWithin(fd, wire.data(), wire.size(), timeouts, &sent, &gone, SendNoSignal);
        vanished = vanished || gone;
        *written = ok ? count : 0;
        return ok;
    }

    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        StreamDecoder decode;
        if (telnet)
            decode = [this](const std::uint8_t* raw, std::size_t n, std::uint8_t* out) { return Decode(raw, n, out); };
        if (ReadWithin(fd, buffer, count, timeouts, received, decode) == StreamResult::Done) return true;
        vanished = true;
        return false;
    }

    bool Vanished() const override { return vanished; }

private:
    std::size_t Decode(const std::uint8_t* raw, std::size_t count, std::uint8_t* out) {
        std::vector<std::uint8_t> replies;
        const std::size_t produced = codec.Feed(raw, count, out, replies);
        if (!replies.empty()) SendRaw(replies);
        return produced;
    }

    bool SendRaw(const std::vector<std::uint8_t>& bytes) {
        std::size_t sent = 0;
        bool gone = false;
        const bool ok = WriteWithin(fd, bytes.data(), bytes.size(), timeouts, &sent, &gone, SendNoSignal);
        vanished = vanished || gone;
        return ok;
    }

    int fd;
    bool telnet;
    TelnetCodec codec;
    SerialTimeouts timeouts;
    bool vanished = false;
};

}  // namespace

bool IsNetworkPort(const std::string& path) {
    return path.rfind(kRawScheme, 0) == 0 || path.rfind(kTelnetScheme, 0) == 0;
}

std::unique_ptr<SerialDevice> OpenNetworkDevice(const std::string& text, std::string* errorText) {
    const auto address = ParseAddress(text);
    if (!address) {
        *errorText = std::strerror(EINVAL);
        return nullptr;
    }
    const int fd = Connect(*address, errorText);
    if (fd < 0) return nullptr;
    auto device = std::make_unique<SocketSerialDevice>(fd, address->telnet);
    if (address->telnet && !device->Negotiate(errorText)) return nullptr;
    return device;
}

}  // namespace vexlo
