// The focus node's children as rectangles sized by bytes, the rest of the
// children in one bucket rectangle. At depth 1 one level; deeper, each
// folder's own children nest inside its tile below a header strip with its
// name, optionally shaded as cushions. A click on a folder goes into it; a
// click on a bucket lists what it holds.
#pragma once

#include "layout/rect_hit.h"
#include "ui/explore/maps/map_view.h"

namespace tb {

class TreemapView : public HitListMapView<RectHit> {
    Q_OBJECT
public:
    explicit TreemapView(AppSession& session, QWidget* parent = nullptr);
    void setCushions(bool on);
    bool cushions() const { return cushions_; }

protected:
    void layoutMap(const ScanNode& root, Size size) override;
    std::optional<MapTarget> locateAt(Point point) const override;
    void paintMap(QPainter& painter) const override;

private:
    void paintNested(QPainter& painter) const;
    bool cushions_ = true;
};

} // namespace tb
