#pragma once

#include <cstdint>

namespace vexlo {

// Modbus CRC-16 (reflected 0xA001, initial 0xFFFF) by the two 256-byte lookup tables of Modbus over
// serial line. The value goes on the line low byte first.
std::uint16_t Crc16(const std::uint8_t* data, std::uint16_t length);

}  // namespace vexlo
