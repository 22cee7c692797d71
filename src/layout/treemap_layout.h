// The treemap of one level: each item takes a full-width or full-height strip
// off the free rectangle, so its area is its share of the bytes. Pure and
// stateless; safe from any thread.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "layout/geometry.h"
#include "layout/layout_item.h"
#include "layout/rect_hit.h"
#include "scan/size_ranking.h"

namespace tb::TreemapLayout {

inline constexpr Uuid bucketId = LayoutItems::bucketId(1);

// In drawing order: the visible children largest first, the bucket last.
std::vector<RectHit> hits(const RankedChildren& ranked, Size size);
// Takes the items by value so that their labels move into the result.
std::vector<RectHit> squarify(std::vector<LayoutItem> items, Rect rect);
// The first tile in list order that contains `point`.
std::optional<RectHit> hit(Point point, std::span<const RectHit> tiles);

} // namespace tb::TreemapLayout
