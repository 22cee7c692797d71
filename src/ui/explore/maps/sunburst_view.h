// The focus node's children as a ring of wedges around the root's name, and
// at a greater depth one more ring per level, each split by the children of
// the wedge inside it. A click on a folder's wedge goes into it.
#pragma once

#include <vector>

#include "layout/sunburst_layout.h"
#include "ui/explore/maps/map_view.h"

namespace tb {

class SunburstView : public HitListMapView<WedgeHit> {
    Q_OBJECT
public:
    explicit SunburstView(AppSession& session, QWidget* parent = nullptr);
    // The ring's centre in widget coordinates (the layout does not store it).
    QPointF centre() const { return QPointF(width() / 2.0, height() / 2.0); }

protected:
    void layoutMap(const ScanNode& root, Size size) override;
    std::optional<MapTarget> locateAt(Point point) const override;
    void paintMap(QPainter& painter) const override;

private:
    void paintCentreLabel(QPainter& painter, QPointF centre, double hole) const;
};

} // namespace tb
