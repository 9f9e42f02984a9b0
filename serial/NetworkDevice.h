#pragma once

#include <memory>
#include <string>

#include "serial/SerialDevice.h"

namespace vexlo {

// Instruments behind a serial device server: "tcp://HOST:PORT" carries the frames unchanged over a
// TCP connection (the server in raw mode); "rfc2217://HOST:PORT" speaks Telnet with the
// COM-PORT-OPTION, which also sets the server's line from the port's "Serial.cfg" record.
bool IsNetworkPort(const std::string& path);

// One attempt to open, connection and negotiation together, ends within 2 s whatever the server
// sends; the system's text (or the first line the server said when it turned the connection away)
// on failure.
std::unique_ptr<SerialDevice> OpenNetworkDevice(const std::string& address, std::string* errorText);

}  // namespace vexlo
