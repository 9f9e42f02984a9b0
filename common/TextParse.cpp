#include "common/TextParse.h"

#include <cctype>
#include <climits>
#include <cstdint>

namespace vexlo {

int ParseLeadingInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
        ++i;
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

std::optional<long long> ParseWholeNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t digitsStart = i;
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (value > (LLONG_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digitsStart) return std::nullopt;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i != text.size()) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace vexlo
