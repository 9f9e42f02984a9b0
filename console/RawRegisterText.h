#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexlo {

// A register address as the raw register panel takes it: one to four hexadecimal digits (any
// case), spaces around them allowed. Anything else, an empty text included, is refused: a prefix
// such as "0x" or a fifth digit would otherwise address a register the operator never typed.
std::optional<std::uint16_t> ParseHexAddress(const std::string& text);

// The first two registers read, shown six ways, plus the three read result fields.
struct RawReadText {
    std::string longField;
    std::string hexField;
    std::string wordField;
    std::vector<std::string> lines;
};
RawReadText InterpretRegisters(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);

}  // namespace vexlo
