#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vexlo {

// The platform's part of a network port: one connected TCP socket, with every wait bounded. The
// POSIX and the Winsock file each implement it; the Telnet codec, the time-outs and the purge rules
// above it are shared.
class NetworkSocket {
public:
    virtual ~NetworkSocket() = default;
    // Waits at most waitMs for bytes and reads up to count of them: the count read, 0 when none came
    // in time, -1 once the connection is gone.
    virtual long Receive(std::uint8_t* buffer, std::size_t count, int waitMs) = 0;
    // How many bytes can be read now without waiting.
    virtual std::size_t Pending() = 0;
    // Sends all the bytes within waitMs; false on failure, with gone set when the connection is lost.
    virtual bool Send(const std::uint8_t* data, std::size_t count, int waitMs, bool* gone) = 0;
};

// Connects to the host's port before the deadline, without coalescing of small writes; the
// system's text on failure.
std::unique_ptr<NetworkSocket> ConnectSocket(const std::string& host, const std::string& port,
                                             std::chrono::steady_clock::time_point deadline, std::string* errorText);

}  // namespace vexlo
