// One level of the focus node as rectangles sized by bytes, the rest of the
// children in one bucket rectangle. A click on a folder goes into it.
#pragma once

#include "layout/rect_hit.h"
#include "ui/explore/maps/map_view.h"

namespace tb {

class TreemapView : public HitListMapView<RectHit> {
    Q_OBJECT
public:
    explicit TreemapView(AppSession& session, QWidget* parent = nullptr);

protected:
    void layoutMap(const ScanNode& root, Size size) override;
    std::optional<MapTarget> locateAt(Point point) const override;
    void paintMap(QPainter& painter) const override { paintTiles(painter, hits_); }
};

} // namespace tb
