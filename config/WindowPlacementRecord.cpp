#include "config/WindowPlacementRecord.h"

namespace vexlo {
namespace {

void Put(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t Get(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::vector<std::uint8_t> WindowPlacementRecord::Encode() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kSize);
    for (std::uint32_t value : {length, flags, showCommand, static_cast<std::uint32_t>(minX),
                                static_cast<std::uint32_t>(minY), static_cast<std::uint32_t>(maxX),
                                static_cast<std::uint32_t>(maxY), static_cast<std::uint32_t>(left),
                                static_cast<std::uint32_t>(top), static_cast<std::uint32_t>(right),
                                static_cast<std::uint32_t>(bottom)}) {
        Put(bytes, value);
    }
    return bytes;
}

std::optional<WindowPlacementRecord> WindowPlacementRecord::Decode(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() != kSize) return std::nullopt;
    WindowPlacementRecord record;
    record.length = Get(bytes, 0);
    record.flags = Get(bytes, 4);
    record.showCommand = Get(bytes, 8);
    record.minX = static_cast<std::int32_t>(Get(bytes, 12));
    record.minY = static_cast<std::int32_t>(Get(bytes, 16));
    record.maxX = static_cast<std::int32_t>(Get(bytes, 20));
    record.maxY = static_cast<std::int32_t>(Get(bytes, 24));
    record.left = static_cast<std::int32_t>(Get(bytes, 28));
    record.top = static_cast<std::int32_t>(Get(bytes, 32));
    record.right = static_cast<std::int32_t>(Get(bytes, 36));
    record.bottom = static_cast<std::int32_t>(Get(bytes, 40));
    return record;
}

}  // namespace vexlo
