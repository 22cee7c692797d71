#include "ui/explore/maps/treemap_view.h"

#include "layout/treemap_layout.h"
#include "scan/size_ranking.h"

namespace tb {

TreemapView::TreemapView(AppSession& session, QWidget* parent) : HitListMapView(session, true, parent) {}

void TreemapView::layoutMap(const ScanNode& root, Size size) {
    hits_ = TreemapLayout::hits(MapLayout::ranked(root.children(), MapLayout::visibleLimit), size);
}

std::optional<MapTarget> TreemapView::locateAt(Point point) const {
    return target(TreemapLayout::hit(point, hits_));
}

} // namespace tb
