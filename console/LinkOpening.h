#pragma once

#include <cstdint>
#include <string>

#include "instrument/TesterDevice.h"
#include "serial/PortNameResolver.h"

namespace vexlo {

// Reply time-outs of the two kinds of command: a station search tries many stations quickly; every
// other command waits for a slow instrument.
inline constexpr std::uint32_t kSearchReplyTimeoutMs = 50;
inline constexpr std::uint32_t kCommandReplyTimeoutMs = 500;

// Where and how a command talks to the instrument.
struct LinkChoice {
    int portIndex = 0;
    int station = 1;
    std::int32_t accessMode = 0;
};

// Opens the port for a command the way the console does: the [Ports] mappings of the INI file (plus
// any the caller adds, such as a device named on a command line), purge after write, the station and
// the access mode. The reply time-out is the device's own (set it before). False when the port did
// not open; the serial layer has shown why.
bool OpenLink(TesterDevice& device, const std::string& iniPath, const LinkChoice& choice,
              const PortMappings& extraMappings = {});

}  // namespace vexlo
