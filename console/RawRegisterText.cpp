#include "console/RawRegisterText.h"

#include <cctype>
#include <cstring>

#include "common/TextFormat.h"

namespace vexlo {
namespace {

float FloatFromImage(std::uint8_t first, std::uint8_t second, std::uint8_t third, std::uint8_t fourth) {
    const std::uint32_t bits = static_cast<std::uint32_t>(first) | static_cast<std::uint32_t>(second) << 8 |
                               static_cast<std::uint32_t>(third) << 16 | static_cast<std::uint32_t>(fourth) << 24;
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// "%ld" and "%lx" of a 32-bit value print the same on platforms whose long is 64 bits.
long AsLong(std::int32_t value) { return static_cast<long>(value); }
unsigned long AsUnsignedLong(std::int32_t value) { return static_cast<unsigned long>(static_cast<std::uint32_t>(value)); }

}  // namespace

std::optional<std::uint16_t> ParseHexAddress(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    if (end == begin || end - begin > 4) return std::nullopt;
    std::uint16_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int digit = 0;
        if (lower >= '0' && lower <= '9') {
            digit = lower - '0';
        } else if (lower >= 'a' && lower <= 'f') {
            digit = lower - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = static_cast<std::uint16_t>(value * 16 + digit);
    }
    return value;
}

RawReadText InterpretRegisters(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(b0) | static_cast<std::uint32_t>(b1) << 8 |
                                             static_cast<std::uint32_t>(b2) << 16 |
                                             static_cast<std::uint32_t>(b3) << 24);
    const unsigned w = b0 + (b1 << 8);
    const unsigned sw = b1 + (b0 << 8);
    const auto sv = static_cast<std::int32_t>(static_cast<std::uint32_t>(b3) | static_cast<std::uint32_t>(b2) << 8 |
                                              static_cast<std::uint32_t>(b1) << 16 |
                                              static_cast<std::uint32_t>(b0) << 24);
    RawReadText text;
    text.longField = FormatText("%ld", AsLong(v));
    text.hexField = FormatText("%08lx(H)", AsUnsignedLong(v));
    text.wordField = FormatText("%d", static_cast<int>(w));
    text.lines = {
        FormatText("word=%d, %04x(H)", static_cast<int>(w), w),
        FormatText("long=%ld, %08x(H)", AsLong(v), static_cast<unsigned>(v)),
        FormatText("float=%g", static_cast<double>(FloatFromImage(b0, b1, b2, b3))),
        FormatText("sw_word=%d, %04x(H)", static_cast<int>(sw), sw),
        FormatText("sw_long=%ld, %08x(H)", AsLong(sv), static_cast<unsigned>(sv)),
        FormatText("sw_float=%g", static_cast<double>(FloatFromImage(b3, b2, b1, b0))),
    };
    return text;
}

}  // namespace vexlo
