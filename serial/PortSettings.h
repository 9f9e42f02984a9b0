#pragma once

#include <array>
#include <cstdint>

#include "common/ByteImage.h"

namespace vexlo {

constexpr int kPortCount = 40;

// Line parameters of one port, packed exactly as they lie in "Serial.cfg" (integers little-endian).
#pragma pack(push, 1)
struct PortSettings {
    char name[6];            // "COM1" .. "COM40", NUL-padded
    std::uint8_t baud[4];    // unsigned 32-bit, little-endian
    std::uint8_t dataBits;   // 8 or 7
    std::uint8_t handshake;  // 0 none, 1 hardware, 2 software
    std::uint8_t stopBits;   // 0 one, 1 one and a half, 2 two
    std::uint8_t parity;     // 0 none, 1 odd, 2 even

    std::uint32_t Baud() const { return static_cast<std::uint32_t>(LoadLe32(baud)); }
    void SetBaud(std::uint32_t value) { StoreLe32(baud, static_cast<std::int32_t>(value)); }
};
#pragma pack(pop)
static_assert(sizeof(PortSettings) == 14, "PortSettings is a 14-byte file record");

using PortTableImage = std::array<PortSettings, kPortCount>;
static_assert(sizeof(PortTableImage) == 560, "Serial.cfg holds exactly 560 bytes");

}  // namespace vexlo
