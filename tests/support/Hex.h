#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexlo::test {

using Bytes = std::vector<std::uint8_t>;

// "01 03 00 30" or "01030030" to bytes.
Bytes FromHex(const std::string& text);
std::string ToHex(const std::uint8_t* data, std::size_t length);
inline std::string ToHex(const Bytes& bytes) { return ToHex(bytes.data(), bytes.size()); }
// Appends the Modbus CRC (low byte first).
Bytes WithCrc(Bytes frame);

}  // namespace vexlo::test
