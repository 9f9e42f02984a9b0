#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace vexlo {

// The 44-byte window-placement record kept per user: little-endian, in this order.
struct WindowPlacementRecord {
    static constexpr std::size_t kSize = 44;

    std::uint32_t length = kSize;
    std::uint32_t flags = 0;
    std::uint32_t showCommand = 1;  // 1 normal, 3 maximised, 2 minimised
    std::int32_t minX = -1;
    std::int32_t minY = -1;
    std::int32_t maxX = -1;
    std::int32_t maxY = -1;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::vector<std::uint8_t> Encode() const;
    // Nothing unless the bytes are exactly 44 long.
    static std::optional<WindowPlacementRecord> Decode(const std::vector<std::uint8_t>& bytes);

    bool operator==(const WindowPlacementRecord&) const = default;
};

}  // namespace vexlo
