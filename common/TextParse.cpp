#include "common/TextParse.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
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

std::optional<long long> ParseWholeNumberIn(const std::string& text, long long low, long long high) {
    const auto value = ParseWholeNumber(text);
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

std::optional<std::vector<int>> ParseNumberList(const std::string& text, int low, int high) {
    std::vector<int> numbers;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string part = text.substr(start, comma - start);
        // A '-' in first place is a sign, refused by the range below.
        const size_t dash = part.find('-', 1);
        const auto first = ParseWholeNumberIn(part.substr(0, dash), low, high);
        const auto last = dash == std::string::npos ? first : ParseWholeNumberIn(part.substr(dash + 1), low, high);
        if (!first || !last || *last < *first) return std::nullopt;
        for (long long n = *first; n <= *last; ++n) {
            bool seen = false;
            for (const int known : numbers) seen = seen || known == n;
            if (!seen) numbers.push_back(static_cast<int>(n));
        }
        start = comma + 1;
    }
    return numbers;
}

std::optional<double> ParseDecimalNumber(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
    // from_chars takes no '+' and reads "inf" and "nan": the shape is checked here first.
    const size_t numberStart = text[begin] == '+' ? begin + 1 : begin;
    size_t digits = 0;
    bool point = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
        const size_t exponentStart = i;
        while (i < end && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        if (i == exponentStart) return std::nullopt;
    }
    if (i != end) return std::nullopt;
    double value = 0;
    const auto [stop, error] = std::from_chars(text.data() + numberStart, text.data() + end, value);
    if (error != std::errc() || stop != text.data() + end || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace vexlo
