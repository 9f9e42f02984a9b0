#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexlo {

// Hexadecimal address as the raw register panel reads it: digits and a to f (any case) until the
// first other character; 32-bit arithmetic that wraps. Empty text gives 0.
std::uint32_t ParseHexAddress(const std::string& text);

// The first two registers read, shown six ways, plus the three read result fields.
struct RawReadText {
    std::string longField;
    std::string hexField;
    std::string wordField;
    std::vector<std::string> lines;
};
RawReadText InterpretRegisters(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);

}  // namespace vexlo
