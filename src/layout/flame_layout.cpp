#include "layout/flame_layout.h"

#include <algorithm>
#include <span>

#include "scan/size_ranking.h"

namespace tb::FlameLayout {
namespace {

struct Visit {
    const ScanNode* node;
    const ScanNode* parent;
    double x;
    double y;
    double width;
    int depth;
};

// What MapLayout::ranked(children, 10) yields for the flame: the visible
// children and totalVisible (the byte total of all children), in one pass.
// ranked's bucket membership test costs ten identity comparisons per child,
// which dominated the layout on folders of tens of thousands of files.
struct Ranking {
    std::vector<const ScanNode*> visible;
    std::int64_t total = 0;
};

void rankChildren(std::span<ScanNode* const> children, Ranking& out) {
    out.visible.clear();
    out.total = 0;
    const bool all = children.size() <= std::size_t(childrenPerBar);
    for (const ScanNode* child : children) {
        out.total += child->allocatedSize();
        if (all) {
            out.visible.push_back(child);
        } else {
            SizeLeaders::insert(child, out.visible, childrenPerBar);
        }
    }
}

} // namespace

std::vector<RectHit> hits(const ScanNode* root, Size size, int maxDepth) {
    std::vector<RectHit> out;
    if (!root) return out;
    // A depth of 0 would divide the height by zero.
    maxDepth = std::max(maxDepth, 1);
    const double rowHeight = std::max(std::max(size.height, 0.0) / maxDepth, minRowHeight);

    std::vector<Visit> stack{{root, nullptr, 0, 0, std::max(size.width, 0.0), 0}};
    std::vector<Visit> row;
    Ranking ranked;
    while (!stack.empty()) {
        const Visit v = stack.back();
        stack.pop_back();
        out.push_back({v.node->id(),
                       v.node,
                       {v.x, v.y, std::max(v.width, 1.0), rowHeight - 1},
                       std::string(v.node->name()),
                       v.node->allocatedSize(),
                       v.depth,
                       v.parent});
        const auto children = v.node->children();
        if (v.depth + 1 >= maxDepth || children.empty() || v.width <= minDescendWidth) continue;

        rankChildren(children, ranked);
        const double total = double(std::max<std::int64_t>(ranked.total, 1));
        row.clear();
        double cx = v.x;
        for (const ScanNode* child : ranked.visible) {
            const double w = double(child->allocatedSize()) * v.width / total;
            row.push_back({child, v.node, cx, v.y + rowHeight, w, v.depth + 1});
            cx += w;
        }
        // Reversed, so the leftmost child is visited next.
        stack.insert(stack.end(), row.rbegin(), row.rend());
    }
    return out;
}

std::optional<RectHit> hit(Point point, std::span<const RectHit> bars) {
    for (auto it = bars.rbegin(); it != bars.rend(); ++it) {
        if (it->rect.contains(point)) return *it;
    }
    return std::nullopt;
}

} // namespace tb::FlameLayout
