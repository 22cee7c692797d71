#include "layout/map_keys.h"

#include <cmath>
#include <limits>

namespace tb::MapKeys {

std::optional<std::size_t> step(std::span<const Shape> shapes, std::size_t current, Arrow arrow) {
    if (current >= shapes.size()) return std::nullopt;
    const Shape& from = shapes[current];
    std::optional<std::size_t> best;
    double bestScore = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (i == current || shapes[i].parent != from.parent) continue;
        const double dx = shapes[i].centre.x - from.centre.x;
        const double dy = shapes[i].centre.y - from.centre.y;
        double along = 0, across = 0;
        switch (arrow) {
        case Arrow::left: along = -dx, across = dy; break;
        case Arrow::right: along = dx, across = dy; break;
        case Arrow::up: along = -dy, across = dx; break;
        case Arrow::down: along = dy, across = dx; break;
        }
        // Half a point ahead at least: shapes in one column do not lie to
        // each other's left or right.
        if (along < 0.5) continue;
        const double score = along + 2 * std::abs(across);
        if (score < bestScore) {
            bestScore = score;
            best = i;
        }
    }
    return best;
}

std::optional<std::size_t> first(std::span<const Shape> shapes, const ScanNode* folder) {
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i].parent == folder) return i;
    }
    if (!shapes.empty()) return 0;
    return std::nullopt;
}

} // namespace tb::MapKeys
