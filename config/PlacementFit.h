#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "config/WindowPlacementRecord.h"

namespace vexlo {

// A rectangle by its edges, right and bottom exclusive, wide enough that no edge arithmetic on
// values from a stored record can overflow.
struct EdgeRect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;

    std::int64_t Width() const { return right - left; }
    std::int64_t Height() const { return bottom - top; }
    bool operator==(const EdgeRect&) const = default;
};

// Where a stored normal rectangle goes on the screens there are now (their available areas): onto
// the screen it overlaps most, or the nearest one when it overlaps none, shrunk to that screen and
// moved inside it. Nothing for an empty or inverted rectangle, or when there is no screen.
std::optional<EdgeRect> FitOntoScreens(const WindowPlacementRecord& record, const std::vector<EdgeRect>& screens);

}  // namespace vexlo
