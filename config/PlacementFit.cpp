#include "config/PlacementFit.h"

#include <algorithm>
#include <limits>

namespace vexlo {
namespace {

std::int64_t OverlapArea(const EdgeRect& a, const EdgeRect& b) {
    const std::int64_t width = std::min(a.right, b.right) - std::max(a.left, b.left);
    const std::int64_t height = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

// Squared distance from a point to the nearest point of a rectangle (0 inside). Coordinates come
// from 32-bit values, so the squares fit 64 bits only after halving: compare halves.
std::int64_t DistanceTo(const EdgeRect& screen, std::int64_t x, std::int64_t y) {
    const std::int64_t dx = (x < screen.left ? screen.left - x : x >= screen.right ? x - screen.right + 1 : 0) / 2;
    const std::int64_t dy = (y < screen.top ? screen.top - y : y >= screen.bottom ? y - screen.bottom + 1 : 0) / 2;
    return dx * dx + dy * dy;
}

}  // namespace

std::optional<EdgeRect> FitOntoScreens(const WindowPlacementRecord& record, const std::vector<EdgeRect>& screens) {
    const EdgeRect stored{record.left, record.top, record.right, record.bottom};
    if (stored.Width() <= 0 || stored.Height() <= 0 || screens.empty()) return std::nullopt;

    const std::int64_t centreX = stored.left + stored.Width() / 2;
    const std::int64_t centreY = stored.top + stored.Height() / 2;
    const EdgeRect* best = nullptr;
    std::int64_t bestOverlap = 0;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    for (const EdgeRect& screen : screens) {
        if (screen.Width() <= 0 || screen.Height() <= 0) continue;
        const std::int64_t overlap = OverlapArea(stored, screen);
        const std::int64_t distance = DistanceTo(screen, centreX, centreY);
        if (overlap > bestOverlap || (bestOverlap == 0 && overlap == 0 && distance < bestDistance)) {
            best = &screen;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    if (best == nullptr) return std::nullopt;

    const std::int64_t width = std::min(stored.Width(), best->Width());
    const std::int64_t height = std::min(stored.Height(), best->Height());
    const std::int64_t left = std::clamp(stored.left, best->left, best->right - width);
    const std::int64_t top = std::clamp(stored.top, best->top, best->bottom - height);
    return EdgeRect{left, top, left + width, top + height};
}

}  // namespace vexlo
