#pragma once

#include <array>
#include <cstdint>

namespace vexlo {

// Largest frame either way: a reply of 133 registers still fits.
constexpr int kFrameBufferSize = 272;

struct RtuFrame {
    std::array<std::uint8_t, kFrameBufferSize> bytes{};
    int length = 0;
};

// Request builders: header fields most significant byte first, CRC least significant byte first.
// Address and count are the low 16 bits of the arguments.
RtuFrame BuildReadRequest(int station, std::uint8_t function, int address, int count);
RtuFrame BuildWriteCoilRequest(int station, int address, int value);
// Byte count = 2 x count mod 256; data copied unchanged. The caller keeps 9 + 2 x count within the
// buffer (count at most 131).
RtuFrame BuildWriteRegistersRequest(int station, int address, std::uint16_t count, const std::uint8_t* data);

// Length of the reply the master waits for.
constexpr int ExpectedReadReplyLength(int count) { return 2 * count + 5; }
constexpr int kWriteReplyLength = 8;

}  // namespace vexlo
