#include "layout/sunburst_layout.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace tb::SunburstLayout {

std::vector<WedgeHit> hits(const RankedChildren& ranked, Size size) {
    auto items = LayoutItems::from(ranked, "Other");
    std::vector<WedgeHit> out;
    if (items.empty()) return out;
    out.reserve(items.size());
    std::int64_t sum = 0;
    for (const auto& item : items) sum += item.bytes;
    const double total = double(std::max<std::int64_t>(sum, 1));
    const double outer = std::max(std::min(size.width, size.height), 0.0) * outerRadiusFactor;
    const double inner = outer * innerRadiusFactor;
    double angle = startAngle;
    for (auto& item : items) {
        const double sweep = double(item.bytes) * 2 * std::numbers::pi / total;
        out.push_back({item.node ? item.node->id() : bucketId, item.node, angle, angle + sweep,
                       inner, outer, std::move(item.label), item.bytes});
        angle += sweep;
    }
    return out;
}

std::optional<WedgeHit> hit(Point point, Size size, std::span<const WedgeHit> wedges) {
    const double dx = point.x - size.width / 2;
    const double dy = point.y - size.height / 2;
    // atan2 answers in (-pi, pi]; the wedges run from -pi/2 to 3pi/2.
    double angle = std::atan2(dy, dx);
    if (angle < startAngle) angle += 2 * std::numbers::pi;
    const double r = std::sqrt(dx * dx + dy * dy);
    for (const auto& wedge : wedges) {
        if (wedge.inner < wedge.outer && wedge.inner <= r && r <= wedge.outer &&
            wedge.start <= angle && angle < wedge.end) {
            return wedge;
        }
    }
    return std::nullopt;
}

} // namespace tb::SunburstLayout
