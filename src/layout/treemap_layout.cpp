#include "layout/treemap_layout.h"

#include <algorithm>
#include <utility>

namespace tb::TreemapLayout {
namespace {

// Leaves a visible seam between neighbours; strips under 2 points vanish.
Rect inset(const Rect& r) {
    return {r.x + 1, r.y + 1, std::max(r.width - 2, 0.0), std::max(r.height - 2, 0.0)};
}

} // namespace

std::vector<RectHit> hits(const RankedChildren& ranked, Size size) {
    return squarify(LayoutItems::from(ranked),
                    {0, 0, std::max(size.width, 0.0), std::max(size.height, 0.0)});
}

std::vector<RectHit> squarify(std::vector<LayoutItem> items, Rect rect) {
    std::vector<RectHit> out;
    if (items.empty()) return out;
    out.reserve(items.size());
    std::int64_t total = 0;
    for (const auto& item : items)
        total += item.bytes;
    std::int64_t remaining = std::max<std::int64_t>(total, 1);
    Rect free = rect;
    for (std::size_t i = 0; i < items.size(); ++i) {
        auto& item = items[i];
        const double w = free.width;
        const double h = free.height;
        const bool wide = h <= w;
        const double longSide = wide ? w : h;
        const double fraction =
            i + 1 == items.size()
                ? 1.0
                : double(item.bytes) / double(std::max<std::int64_t>(remaining, 1));
        const double thickness = std::max(longSide * fraction, 1.0);
        Rect strip;
        if (wide) {
            const double cut = std::min(thickness, w);
            strip = {free.x, free.y, cut, h};
            free = {free.x + cut, free.y, w - cut, h};
        } else {
            const double cut = std::min(thickness, h);
            strip = {free.x, free.y, w, cut};
            free = {free.x, free.y + cut, w, h - cut};
        }
        remaining = std::max<std::int64_t>(remaining - item.bytes, 0);
        out.push_back({item.node ? item.node->id() : bucketId, item.node, inset(strip),
                       std::move(item.label), item.bytes});
    }
    return out;
}

std::optional<RectHit> hit(Point point, std::span<const RectHit> tiles) {
    for (const auto& tile : tiles) {
        if (tile.rect.contains(point)) return tile;
    }
    return std::nullopt;
}

} // namespace tb::TreemapLayout
