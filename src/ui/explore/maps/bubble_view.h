// The focus node's children as circles sized by bytes. A click selects; a
// double click goes into a folder.
#pragma once

#include "layout/bubble_layout.h"
#include "ui/explore/maps/map_view.h"

namespace tb {

class BubbleView : public HitListMapView<CircleHit> {
    Q_OBJECT
public:
    explicit BubbleView(AppSession& session, QWidget* parent = nullptr);

protected:
    void layoutMap(const ScanNode& root, Size size) override;
    std::optional<MapTarget> locateAt(Point point) const override;
    void paintMap(QPainter& painter) const override;
};

} // namespace tb
