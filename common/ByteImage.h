#pragma once

#include <cstdint>
#include <cstring>

namespace vexlo {

// Little-endian values in byte buffers, whatever the host's order: register data of the
// instrument, "Serial.cfg" records and the window-placement record.
inline std::uint16_t LoadLe16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline std::int32_t LoadLe32(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                     static_cast<std::uint32_t>(bytes[2]) << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

inline float LoadLeFloat(const std::uint8_t* bytes) {
    const std::uint32_t bits = static_cast<std::uint32_t>(LoadLe32(bytes));
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void StoreLe16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreLe32(std::uint8_t* bytes, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace vexlo
