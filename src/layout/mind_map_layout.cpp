#include "layout/mind_map_layout.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tb::MindMapLayout {

std::vector<BranchHit> hits(const RankedChildren& ranked, Size size) {
    auto items = LayoutItems::from(ranked);
    std::vector<BranchHit> out;
    out.reserve(items.size());
    const std::size_t n = items.size();
    std::int64_t maxBytes = 0;
    for (const auto& item : items)
        maxBytes = std::max(maxBytes, item.bytes);
    const double divisor = double(std::max<std::int64_t>(maxBytes, 1));
    const Point start{startX, size.height * 0.5};
    for (std::size_t i = 0; i < n; ++i) {
        auto& item = items[i];
        const double t = n == 1 ? 0.5 : double(i) / double(n - 1);
        const Point end{size.width * endColumnFactor,
                        bandInset + (size.height - 2 * bandInset) * t};
        const double thickness =
            std::max(thicknessRange * double(item.bytes) / divisor + minThickness, minThickness);
        out.push_back({item.node ? item.node->id() : bucketId, item.node, start, end, thickness,
                       std::move(item.label), item.bytes});
    }
    return out;
}

std::optional<BranchHit> hit(Point point, std::span<const BranchHit> branches) {
    const BranchHit* nearest = nullptr;
    double nearestDistance = 0;
    for (const auto& branch : branches) {
        const double d = std::hypot(point.x - branch.end.x, point.y - branch.end.y);
        if (!nearest || d < nearestDistance) {
            nearest = &branch;
            nearestDistance = d;
        }
    }
    if (!nearest || !(nearestDistance < hitDistance)) return std::nullopt;
    return *nearest;
}

} // namespace tb::MindMapLayout
