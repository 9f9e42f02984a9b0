#pragma once

#include <cstdint>

namespace vexlo {

// Sets a baud rate that has no Bxxx constant (28800, 24400, ...) on an open descriptor.
bool SetCustomBaud(int fd, std::uint32_t baud);

}  // namespace vexlo
