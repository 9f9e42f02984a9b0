#include "tests/support/Hex.h"

#include <cctype>
#include <cstdio>

#include "modbus/Crc16.h"

namespace vexlo::test {

Bytes FromHex(const std::string& text) {
    Bytes bytes;
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string ToHex(const std::uint8_t* data, std::size_t length) {
    std::string text;
    char part[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02x" : " %02x", data[i]);
        text += part;
    }
    return text;
}

Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = Crc16(frame.data(), static_cast<std::uint16_t>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

}  // namespace vexlo::test
