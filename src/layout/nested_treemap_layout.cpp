#include "layout/nested_treemap_layout.h"

#include <algorithm>
#include <limits>

#include "layout/layout_item.h"
#include "layout/treemap_layout.h"
#include "scan/size_ranking.h"

namespace tb::NestedTreemapLayout {
namespace {

Rect inset(const Rect& r, double by) {
    return {r.x + by, r.y + by, std::max(r.width - 2 * by, 0.0), std::max(r.height - 2 * by, 0.0)};
}

// The worst aspect ratio of a row of areas laid along a side of length `side`.
double worstRatio(double sum, double smallest, double largest, double side) {
    const double s2 = side * side;
    const double sum2 = sum * sum;
    return std::max(s2 * largest / sum2, sum2 / (s2 * smallest));
}

// A bucket of a deeper level is told apart from its parent's own tile by
// mixing the parent's identity with the treemap's bucket identity.
Uuid bucketIdFor(const ScanNode* parent, int depth) {
    if (depth == 0) return TreemapLayout::bucketId;
    Uuid id = parent->id();
    for (std::size_t i = 0; i < id.bytes.size(); ++i)
        id.bytes[i] ^= TreemapLayout::bucketId.bytes[i];
    return id;
}

} // namespace

std::vector<Rect> squarify(std::span<const std::int64_t> bytes, Rect rect) {
    std::vector<Rect> out(bytes.size());
    double total = 0;
    for (auto b : bytes)
        total += double(std::max<std::int64_t>(b, 0));
    if (total <= 0 || rect.isEmpty()) return out;
    const double scale = rect.area() / total;
    Rect free = rect;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] <= 0) {
            ++i;
            continue;
        }
        const bool columns = free.width >= free.height; // rows run along the short side
        const double side = columns ? free.height : free.width;
        // Grow the row while its worst tile gets closer to a square.
        std::size_t end = i;
        double sum = 0, smallest = std::numeric_limits<double>::max(), largest = 0;
        double worst = std::numeric_limits<double>::max();
        while (end < bytes.size()) {
            const double area = double(std::max<std::int64_t>(bytes[end], 0)) * scale;
            if (area <= 0) {
                ++end;
                continue;
            }
            const double ratio =
                worstRatio(sum + area, std::min(smallest, area), std::max(largest, area), side);
            if (sum > 0 && ratio > worst) break;
            sum += area;
            smallest = std::min(smallest, area);
            largest = std::max(largest, area);
            worst = ratio;
            ++end;
        }
        const bool last = end == bytes.size();
        // The last row takes what is left, so rounding leaves no gap.
        const double thickness =
            last ? (columns ? free.width : free.height)
                 : std::min(sum / std::max(side, 1e-9), columns ? free.width : free.height);
        double along = columns ? free.y : free.x;
        for (std::size_t k = i; k < end; ++k) {
            if (bytes[k] <= 0) continue;
            const double length = side * (double(bytes[k]) * scale) / sum;
            out[k] = columns ? Rect{free.x, along, thickness, length}
                             : Rect{along, free.y, length, thickness};
            along += length;
        }
        if (columns) {
            free = {free.x + thickness, free.y, free.width - thickness, free.height};
        } else {
            free = {free.x, free.y + thickness, free.width, free.height - thickness};
        }
        i = end;
    }
    return out;
}

std::vector<RectHit> hits(const ScanNode* root, Size size, int depth) {
    std::vector<RectHit> out;
    if (!root) return out;
    depth = MapDepth::normalized(depth);
    struct Pending {
        const ScanNode* folder;
        Rect area;
        int level;
    };
    std::vector<Pending> pending{
        {root, {0, 0, std::max(size.width, 0.0), std::max(size.height, 0.0)}, 0}};
    std::vector<std::int64_t> bytes;
    // Breadth first: a level is complete before the next begins, and every
    // tile comes after the tile of its folder.
    for (std::size_t next = 0; next < pending.size(); ++next) {
        const Pending p = pending[next];
        const RankedChildren ranked =
            MapLayout::ranked(p.folder->children(), MapLayout::visibleLimit);
        auto items = LayoutItems::from(ranked);
        bytes.clear();
        for (const auto& item : items)
            bytes.push_back(item.bytes);
        const std::vector<Rect> cells = squarify(bytes, p.area);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Rect tile = inset(cells[i], 1);
            if (tile.width < minTileSide || tile.height < minTileSide) continue;
            LayoutItem& item = items[i];
            RectHit h{item.node ? item.node->id() : bucketIdFor(p.folder, p.level), item.node, tile,
                      std::move(item.label), item.bytes};
            h.depth = p.level;
            h.parent = p.folder;
            const bool opens = item.node && item.node->isDirectory() &&
                               !item.node->children().empty() && p.level + 1 < depth;
            const Rect inner{tile.x + framePadding, tile.y + headerHeight,
                             tile.width - 2 * framePadding,
                             tile.height - headerHeight - framePadding};
            if (opens && inner.width >= minInnerSide && inner.height >= minInnerSide) {
                h.framed = true;
                pending.push_back({item.node, inner, p.level + 1});
            }
            out.push_back(std::move(h));
        }
    }
    return out;
}

std::optional<RectHit> hit(Point point, std::span<const RectHit> tiles) {
    for (auto it = tiles.rbegin(); it != tiles.rend(); ++it) {
        if (it->rect.contains(point)) return *it;
    }
    return std::nullopt;
}

} // namespace tb::NestedTreemapLayout
