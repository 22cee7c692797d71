// The treemap of several levels: the focus node's children squarified into
// the area, and each folder's own children squarified inside its tile below a
// header strip that carries its name, down to `depth` levels (or all of them,
// MapDepth::all). Every level
// shows the twelve largest children and one bucket for the rest. Tiles too
// small to see are dropped, and a folder too small to hold a readable level
// is not opened. Pure and stateless; safe from any thread. Iterative.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "layout/geometry.h"
#include "layout/map_depth.h"
#include "layout/rect_hit.h"
#include "scan/scan_node.h"

namespace tb::NestedTreemapLayout {

inline constexpr int maxDepth = MapDepth::deepestNumbered;
inline constexpr double headerHeight = 16;
inline constexpr double framePadding = 2;
// A tile narrower or lower than this after its inset is not drawn.
inline constexpr double minTileSide = 2;
// A folder's inner area must be at least this wide and high to be opened.
inline constexpr double minInnerSide = 12;

// Parents before their children, so the last tile containing a point is the
// deepest. `depth` goes through MapDepth::normalized; depth 1 is one level
// of squarified tiles. However deep, the size rules above end the descent.
std::vector<RectHit> hits(const ScanNode* root, Size size, int depth);
// The deepest tile that contains `point` (the last in list order).
std::optional<RectHit> hit(Point point, std::span<const RectHit> tiles);
// Squarified rectangles (rows whose tiles are as close to square as the
// bytes allow) for `bytes` in `rect`, in input order; items of 0 bytes or
// less get an empty rectangle.
std::vector<Rect> squarify(std::span<const std::int64_t> bytes, Rect rect);

} // namespace tb::NestedTreemapLayout
