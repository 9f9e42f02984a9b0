#include "console/RawRegisterText.h"

#include <cctype>
#include <cstring>

#include "common/ByteImage.h"
#include "common/TextFormat.h"

namespace vexlo {
namespace {

// "%ld" and "%lx" of a 32-bit value print the same on platforms whose long is 64 bits.
long AsLong(std::int32_t value) { return static_cast<long>(value); }
unsigned long AsUnsignedLong(std::int32_t value) {
    return static_cast<unsigned long>(static_cast<std::uint32_t>(value));
}

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
    // The four bytes as received, and the same image reversed for the "sw_" lines.
    const std::uint8_t image[4] = {b0, b1, b2, b3};
    const std::uint8_t swapped[4] = {b3, b2, b1, b0};
    const std::int32_t v = LoadLe32(image);
    const unsigned w = LoadLe16(image);
    const unsigned sw = LoadLe16(swapped + 2);
    const std::int32_t sv = LoadLe32(swapped);
    RawReadText text;
    text.longField = FormatText("%ld", AsLong(v));
    text.hexField = FormatText("%08lx(H)", AsUnsignedLong(v));
    text.wordField = FormatText("%d", static_cast<int>(w));
    text.lines = {
        FormatText("word=%d, %04x(H)", static_cast<int>(w), w),
        FormatText("long=%ld, %08x(H)", AsLong(v), static_cast<unsigned>(v)),
        FormatText("float=%g", static_cast<double>(LoadLeFloat(image))),
        FormatText("sw_word=%d, %04x(H)", static_cast<int>(sw), sw),
        FormatText("sw_long=%ld, %08x(H)", AsLong(sv), static_cast<unsigned>(sv)),
        FormatText("sw_float=%g", static_cast<double>(LoadLeFloat(swapped))),
    };
    return text;
}

}  // namespace vexlo
