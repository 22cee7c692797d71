// The focus node and its descendants as rows of bars, five levels deep. A
// click on a folder's bar goes into it.
#pragma once

#include "layout/rect_hit.h"
#include "ui/explore/maps/map_view.h"

namespace tb {

class FlameView : public HitListMapView<RectHit> {
    Q_OBJECT
public:
    static constexpr int maxDepth = 5;

    explicit FlameView(AppSession& session, QWidget* parent = nullptr);

protected:
    void layoutMap(const ScanNode& root, Size size) override;
    std::optional<MapTarget> locateAt(Point point) const override;
    void paintMap(QPainter& painter) const override { paintTiles(painter, hits_); }
};

} // namespace tb
