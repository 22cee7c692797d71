// A node and its descendants as rows of bars, one row per level, each bar as
// wide as its share of its parent's bytes. Pure and stateless; safe from any
// thread. Iterative: the tree's depth never becomes stack depth.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "layout/geometry.h"
#include "layout/rect_hit.h"
#include "scan/scan_node.h"

namespace tb::FlameLayout {

inline constexpr int defaultMaxDepth = 5;
inline constexpr double minRowHeight = 18;
inline constexpr int childrenPerBar = 10;
// A bar must be wider than this to get a row of children.
inline constexpr double minDescendWidth = 8;

// In pre-order: a bar, then each child's bar left to right followed by its
// own descendants, each with its row (`depth`, 0 for the root) and its
// parent's node (none for the root). The bucket of children beyond the ten
// largest is left empty. A `maxDepth` below 1 is taken as 1: the root's bar is always drawn.
std::vector<RectHit> hits(const ScanNode* root, Size size, int maxDepth = defaultMaxDepth);
// The last bar in list order that contains `point`.
std::optional<RectHit> hit(Point point, std::span<const RectHit> bars);

} // namespace tb::FlameLayout
