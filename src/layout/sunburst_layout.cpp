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
    for (const auto& item : items)
        sum += item.bytes;
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

namespace {

std::vector<WedgeHit> ringsOf(const ScanNode* root, Size size, int depth) {
    std::vector<WedgeHit> out;
    const double outer = std::max(std::min(size.width, size.height), 0.0) * outerRadiusFactor;
    const double hole = outer * innerRadiusFactor;
    const double width = (outer - hole) / depth;
    struct Pending {
        const ScanNode* folder;
        double start, end;
        int ring;
    };
    std::vector<Pending> pending{{root, startAngle, startAngle + 2 * std::numbers::pi, 0}};
    for (std::size_t next = 0; next < pending.size(); ++next) {
        const Pending p = pending[next];
        auto items = LayoutItems::from(
            MapLayout::ranked(p.folder->children(), MapLayout::visibleLimit), "Other");
        std::int64_t sum = 0;
        for (const auto& item : items)
            sum += item.bytes;
        const double total = double(std::max<std::int64_t>(sum, 1));
        const double inner = hole + width * p.ring;
        const double middle = inner + width / 2;
        double angle = p.start;
        for (auto& item : items) {
            const double sweep = double(item.bytes) * (p.end - p.start) / total;
            const double from = angle;
            angle += sweep;
            if (sweep * middle < minArc) continue;
            Uuid id = bucketId;
            if (item.node) {
                id = item.node->id();
            } else if (p.ring > 0) {
                id = p.folder->id();
                for (std::size_t i = 0; i < id.bytes.size(); ++i)
                    id.bytes[i] ^= bucketId.bytes[i];
            }
            WedgeHit w{
                id,        item.node, from, angle, inner, inner + width, std::move(item.label),
                item.bytes};
            w.depth = p.ring;
            w.parent = p.folder;
            if (item.node && item.node->isDirectory() && p.ring + 1 < depth) {
                pending.push_back({item.node, from, angle, p.ring + 1});
            }
            out.push_back(std::move(w));
        }
    }
    return out;
}

} // namespace

std::vector<WedgeHit> rings(const ScanNode* root, Size size, int depth) {
    if (!root) return {};
    if (MapDepth::normalized(depth) != MapDepth::all)
        return ringsOf(root, size, std::clamp(depth, 1, maxRings));
    const double outer = std::max(std::min(size.width, size.height), 0.0) * outerRadiusFactor;
    const int room = std::max(1, int((outer - outer * innerRadiusFactor) / minRingWidth));
    auto out = ringsOf(root, size, room);
    // A shallow tree gets wide rings rather than empty outer ones.
    int reached = 0;
    for (const WedgeHit& w : out)
        reached = std::max(reached, w.depth + 1);
    if (reached > 0 && reached < room) out = ringsOf(root, size, reached);
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
