#include "ui/explore/maps/flame_view.h"

#include "layout/flame_layout.h"

namespace tb {

FlameView::FlameView(AppSession& session, QWidget* parent)
    : HitListMapView(session, true, parent) {}

void FlameView::layoutMap(const ScanNode& root, Size size) {
    hits_ = FlameLayout::hits(&root, size, maxDepth);
}

std::optional<MapTarget> FlameView::locateAt(Point point) const {
    return target(FlameLayout::hit(point, hits_));
}

} // namespace tb
