// Network ports over the platform's socket: address parsing, Telnet negotiation, time-outs and
// purges, the same on every platform.
#include "serial/NetworkDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

#include "serial/NetworkSocket.h"
#include "serial/TelnetCodec.h"
#include "serial/TimedRead.h"

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kRawScheme = "tcp://";
constexpr const char* kTelnetScheme = "rfc2217://";
// One attempt to open, connection and Telnet negotiation together.
constexpr int kOpenTimeoutMs = 2000;
// What a server may send before it has answered the negotiation; more is not a device server.
constexpr std::size_t kNegotiationByteLimit = 64 * 1024;
// The server's words shown when it turns the connection away: the first line, this long at most.
constexpr std::size_t kWordsLimit = 160;
// The texts of the errors this layer finds by itself, the same on every platform.
constexpr const char* kTimedOutText = "Connection timed out";
constexpr const char* kResetText = "Connection reset by peer";
constexpr const char* kBadAddressText = "Invalid argument";
constexpr const char* kProtocolText = "Protocol error";

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

// Milliseconds to wait for the time point, rounded up so that a wait never ends early.
int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// What a server says when it turns a connection away, kept as one line of printable text.
class ServerWords {
public:
    void Add(const std::uint8_t* data, std::size_t count) {
        for (std::size_t i = 0; i < count && !ended; ++i) {
            const char c = static_cast<char>(data[i]);
            if (c == '\r' || c == '\n') {
                ended = !text.empty();
            } else if (c >= 0x20 && c < 0x7F && text.size() < kWordsLimit) {
                text.push_back(c);
            }
        }
    }
    const std::string& Text() const { return text; }

private:
    std::string text;
    bool ended = false;
};

class SocketSerialDevice final : public SerialDevice {
public:
    SocketSerialDevice(std::unique_ptr<NetworkSocket> socket, bool telnet)
        : socket(std::move(socket)), telnet(telnet) {}

    // Telnet: offers the options, asks the line's speed and waits for the server to answer it, until
    // the deadline whatever arrives. A server that turns the connection away (its port is in use)
    // closes it instead, often after a line of text, even when it has agreed to the option first.
    bool Negotiate(Clock::time_point deadline, std::string* errorText) {
        std::vector<std::uint8_t> hello = TelnetCodec::Greeting();
        const auto query = TelnetCodec::ComPortCommand(TelnetCodec::kSetBaudRate, {0, 0, 0, 0});
        hello.insert(hello.end(), query.begin(), query.end());
        if (!SendRaw(hello)) {
            *errorText = kResetText;
            return false;
        }
        ServerWords words;
        std::size_t taken = 0;
        while (!codec.ServerAnswered(TelnetCodec::kSetBaudRate)) {
            const int waitMs = MillisecondsUntil(deadline);
            if (waitMs <= 0) {
                *errorText = kTimedOutText;
                return false;
            }
            if (taken > kNegotiationByteLimit) {
                *errorText = kProtocolText;
                return false;
            }
            std::uint8_t raw[512];
            std::uint8_t data[512];
            const long n = socket->Receive(raw, sizeof raw, waitMs);
            if (n < 0) {
                *errorText = words.Text().empty() ? kResetText : words.Text();
                return false;
            }
            taken += static_cast<std::size_t>(n);
            words.Add(data, Decode(raw, static_cast<std::size_t>(n), data));
        }
        return true;
    }

    bool Configure(const PortSettings& settings, const SerialTimeouts& newTimeouts) override {
        timeouts = newTimeouts;
        if (!telnet) return true;
        // The server's buffers are emptied once here; afterwards only after a failed exchange.
        auto commands =
            TelnetCodec::LineSettings(settings.Baud(), settings.dataBits, settings.parity, settings.stopBits);
        const auto purge = ServerPurge();
        commands.insert(commands.end(), purge.begin(), purge.end());
        return SendRaw(commands);
    }

    // Drops what has arrived here by now, never waiting; what comes later is the settling's business.
    // A Telnet command cut in two stays whole for the codec.
    void Purge() override {
        std::size_t left = socket->Pending();
        std::uint8_t raw[512];
        std::uint8_t data[512];
        while (left > 0) {
            const long n = socket->Receive(raw, std::min(left, sizeof raw), 0);
            if (n < 0) vanished = true;
            if (n <= 0) return;
            left -= std::min(left, static_cast<std::size_t>(n));
            Decode(raw, static_cast<std::size_t>(n), data);
        }
    }

    void DiscardLateReply(std::size_t count) override {
        // The server may hold the rest of a late reply in its own buffers.
        if (telnet) SendRaw(ServerPurge());
        if (!DiscardUntilQuiet(Wait(), Decoder(), count, timeouts, lastWrite)) vanished = true;
    }

    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        const std::vector<std::uint8_t> wire =
            telnet ? TelnetCodec::Escape(data, count) : std::vector<std::uint8_t>(data, data + count);
        const bool ok = SendRaw(wire);
        lastWrite = Clock::now();
        *written = ok ? count : 0;
        return ok;
    }

    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        if (ReadWithTimeouts(Wait(), Decoder(), buffer, count, timeouts, received)) return true;
        vanished = true;
        return false;
    }

    bool Vanished() const override { return vanished; }

private:
    static std::vector<std::uint8_t> ServerPurge() {
        return TelnetCodec::ComPortCommand(TelnetCodec::kPurgeData, {3});  // both directions
    }

    ByteWait Wait() const {
        return [socket = socket.get()](std::uint8_t* buffer, std::size_t count, int waitMs) {
            return socket->Receive(buffer, count, waitMs);
        };
    }

    ByteDecoder Decoder() {
        if (!telnet) return nullptr;
        return
            [this](const std::uint8_t* raw, std::size_t count, std::uint8_t* out) { return Decode(raw, count, out); };
    }

    std::size_t Decode(const std::uint8_t* raw, std::size_t count, std::uint8_t* out) {
        if (!telnet) {
            std::memcpy(out, raw, count);
            return count;
        }
        std::vector<std::uint8_t> replies;
        const std::size_t produced = codec.Feed(raw, count, out, replies);
        if (!replies.empty()) SendRaw(replies);
        return produced;
    }

    bool SendRaw(const std::vector<std::uint8_t>& bytes) {
        const auto waitMs = timeouts.writePerByteMs * bytes.size() + timeouts.writeConstantMs;
        bool gone = false;
        const bool ok = socket->Send(bytes.data(), bytes.size(), static_cast<int>(waitMs), &gone);
        vanished = vanished || gone;
        return ok;
    }

    std::unique_ptr<NetworkSocket> socket;
    bool telnet;
    TelnetCodec codec;
    SerialTimeouts timeouts;
    Clock::time_point lastWrite;
    bool vanished = false;
};

}  // namespace

bool IsNetworkPort(const std::string& path) {
    return path.rfind(kRawScheme, 0) == 0 || path.rfind(kTelnetScheme, 0) == 0;
}

std::unique_ptr<SerialDevice> OpenNetworkDevice(const std::string& text, std::string* errorText) {
    const auto address = ParseAddress(text);
    if (!address) {
        *errorText = kBadAddressText;
        return nullptr;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kOpenTimeoutMs);
    auto socket = ConnectSocket(address->host, address->port, deadline, errorText);
    if (!socket) return nullptr;
    auto device = std::make_unique<SocketSerialDevice>(std::move(socket), address->telnet);
    if (address->telnet && !device->Negotiate(deadline, errorText)) return nullptr;
    return device;
}

}  // namespace vexlo
