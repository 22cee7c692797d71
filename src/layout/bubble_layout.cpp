#include "layout/bubble_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

namespace tb::BubbleLayout {
namespace {

struct Direction {
    double cos;
    double sin;
};

// Every turn of the spiral steps through the same angles.
const std::array<Direction, spiralStepsPerTurn>& spiralDirections() {
    static const auto directions = [] {
        std::array<Direction, spiralStepsPerTurn> d{};
        for (int step = 0; step < spiralStepsPerTurn; ++step) {
            const double theta = spiralAngleStep * step;
            d[std::size_t(step)] = {std::cos(theta), std::sin(theta)};
        }
        return d;
    }();
    return directions;
}

} // namespace

std::vector<CircleHit> hits(const RankedChildren& ranked, Size size) {
    auto items = LayoutItems::from(ranked);
    std::vector<CircleHit> out;
    if (items.empty()) return out;
    out.reserve(items.size());
    const Size area{std::max(size.width, 0.0), std::max(size.height, 0.0)};
    std::int64_t sum = 0;
    for (const auto& item : items)
        sum += item.bytes;
    const double total = double(std::max<std::int64_t>(sum, 1));
    const double budget = std::max(area.width * area.height * areaBudgetFactor, 1.0);
    const double maxRadius = std::min(area.width, area.height) * maxRadiusFactor;
    const Point centre{area.width / 2, area.height / 2};

    for (auto& item : items) {
        const double share = double(item.bytes) / total;
        const double natural = radiusShrink * std::sqrt(budget * share / std::numbers::pi);
        const double radius = std::min(maxRadius, std::max(natural, minRadius));
        Point at = centre;
        if (!out.empty()) at = place(radius, out, area, centre).value_or(centre);
        out.push_back({item.node ? item.node->id() : bucketId, item.node, at, radius,
                       std::move(item.label), item.bytes});
    }
    return out;
}

std::optional<Point> place(double radius, std::span<const CircleHit> placed, Size size,
                           Point origin) {
    const double base = (placed.empty() ? assumedCentreRadius : placed.front().radius) + radius +
                        spiralFirstDistance;
    const auto& directions = spiralDirections();
    for (int turn = 0; turn < spiralTurns; ++turn) {
        const double distance = base + spiralTurnDistance * turn;
        for (const Direction& dir : directions) {
            const Point c{origin.x + distance * dir.cos, origin.y + distance * dir.sin};
            if (!(c.x - radius > margin && c.y - radius > margin &&
                  c.x + radius < size.width - margin && c.y + radius < size.height - margin)) {
                continue;
            }
            const bool clear = std::all_of(placed.begin(), placed.end(), [&](const CircleHit& p) {
                return std::hypot(c.x - p.center.x, c.y - p.center.y) >= p.radius + radius + gap;
            });
            if (clear) return c;
        }
    }
    return std::nullopt;
}

std::optional<CircleHit> hit(Point point, std::span<const CircleHit> circles) {
    const CircleHit* best = nullptr;
    for (const auto& circle : circles) {
        if (std::hypot(point.x - circle.center.x, point.y - circle.center.y) > circle.radius)
            continue;
        if (!best || circle.radius < best->radius) best = &circle;
    }
    if (!best) return std::nullopt;
    return *best;
}

} // namespace tb::BubbleLayout
