// The focus node as a dot at the left with a branch to each child. A click
// near a branch's end selects; a double click goes into a folder.
#pragma once

#include "layout/mind_map_layout.h"
#include "ui/explore/maps/map_view.h"

namespace tb {

class MindMapView : public HitListMapView<BranchHit> {
    Q_OBJECT
public:
    explicit MindMapView(AppSession& session, QWidget* parent = nullptr);

protected:
    void layoutMap(const ScanNode& root, Size size) override;
    std::optional<MapTarget> locateAt(Point point) const override;
    void paintMap(QPainter& painter) const override;
};

} // namespace tb
