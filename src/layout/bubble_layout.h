// Each child as a circle whose area follows its bytes: the first in the
// centre, the others placed around it by a spiral search that keeps a gap
// between circles and a margin to the edges. Pure and stateless; safe from
// any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/uuid.h"
#include "layout/geometry.h"
#include "layout/layout_item.h"
#include "scan/size_ranking.h"

namespace tb {

// Holds a node pointer: keep the forest alive while it is used.
struct CircleHit {
    Uuid id;                        // the node's id, or the bubble bucket id
    const ScanNode* node = nullptr; // none for the bucket
    Point center;
    double radius = 0;
    std::string label; // the node's name, or "Other (N)"
    std::int64_t bytes = 0;
    bool operator==(const CircleHit&) const = default;
};

namespace BubbleLayout {

inline constexpr Uuid bucketId = LayoutItems::bucketId(3);
inline constexpr double areaBudgetFactor = 0.62; // of width × height
inline constexpr double radiusShrink = 0.9;
inline constexpr double minRadius = 12;
inline constexpr double maxRadiusFactor = 0.34; // of the smaller side
inline constexpr double gap = 4;
inline constexpr double margin = 6;
inline constexpr double spiralFirstDistance = 6;
inline constexpr double spiralAngleStep = 0.32;
inline constexpr int spiralStepsPerTurn = 20;
inline constexpr double spiralTurnDistance = 5;
inline constexpr int spiralTurns = 24;
inline constexpr double assumedCentreRadius = 20;

// In item order; the first circle sits in the centre of the area. A circle
// that finds no place is drawn in the centre as well, over the others.
std::vector<CircleHit> hits(const RankedChildren& ranked, Size size);
// The first candidate of the spiral around `origin` that keeps the margin
// and the gap; none after every candidate failed.
std::optional<Point> place(double radius, std::span<const CircleHit> placed, Size size,
                           Point origin);
// Among the circles containing `point`, the smallest (the first of equals).
std::optional<CircleHit> hit(Point point, std::span<const CircleHit> circles);

} // namespace BubbleLayout
} // namespace tb
