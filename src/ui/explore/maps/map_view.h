// The frame shared by the five maps: the node shown (`root`), the layout
// recomputed when the root or the widget's size changes, and the pointer
// handling — hover caption, single click (dive into a folder or select) and
// double click (dive). Subclasses only lay out, hit-test and paint what their
// layout returns. Interface thread only.
//
// Node pointers held here belong to the session's forest: the view forgets
// them the moment the forest changes, before anything can dereference them.
#pragma once

#include <QColor>
#include <QFontMetricsF>
#include <QElapsedTimer>
#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/uuid.h"
#include "layout/geometry.h"
#include "layout/rect_hit.h"
#include "scan/scan_node.h"

namespace tb {

class AppSession;

// What a map's hit test finds under a point; `node` is null for the bucket.
struct MapTarget {
    const ScanNode* node = nullptr;
    std::string label;
    std::int64_t bytes = 0;
    const ScanNode* parent = nullptr; // the folder of the shape; set for every bucket
};

class MapView : public QWidget {
    Q_OBJECT
public:
    // `dive`: whether a single click on a folder goes into it.
    MapView(AppSession& session, bool dive, QWidget* parent = nullptr);

    // Null forgets the root and every shape.
    void setRoot(const ScanNode* root);
    const ScanNode* root() const { return root_; }
    bool dives() const { return dive_; }
    // Levels shown at once, 1 to 4, where the map draws several; 1 is the
    // single level.
    void setDepth(int depth);
    int depth() const { return depth_; }
    const std::optional<MapTarget>& hover() const { return hover_; }
    // The map's own hit test, in widget coordinates.
    std::optional<MapTarget> locate(QPointF point) const;
    // Tells assistive technology which shape is current: its name and size
    // as the map's description, or the folder shown when there is none.
    void announce(const std::optional<MapTarget>& shape);

signals:
    // The bucket shape of `folder` was clicked: show what it holds.
    void bucketOpened(const tb::ScanNode* folder, QPoint globalPos);

protected:
    virtual void layoutMap(const ScanNode& root, Size size) = 0;
    virtual void clearMap() = 0;
    virtual std::optional<MapTarget> locateAt(Point point) const = 0;
    virtual void paintMap(QPainter& painter) const = 0;

    AppSession& session() const { return session_; }
    // Whether a shape of this identity stands for the selected node.
    bool isSelected(const Uuid& id) const;
    Size mapSize() const { return Size{double(width()), double(height())}; }
    // Treemap tiles and flame bars: filled by position, the selected one
    // outlined, labels where they fit.
    void paintTiles(QPainter& painter, std::span<const RectHit> tiles) const;
    // The label colour on a shape filled with the palette entry `position`.
    static QColor labelColour(int position);
    // A tile's label in its top left corner, elided, where the tile is large
    // enough to hold one.
    static void paintTileLabel(QPainter& painter, const QFontMetricsF& metrics, const QRectF& tile,
                               int position, std::string_view label);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void relayout();
    void setHover(std::optional<MapTarget> target);

    AppSession& session_;
    const bool dive_;
    const ScanNode* root_ = nullptr;
    int depth_ = 1;
    std::optional<MapTarget> hover_;
    // The shape under the first click of a possible double click: a click
    // that dives redraws the map, and the double click belongs to what was
    // clicked, not to what now lies under the pointer.
    std::optional<MapTarget> lastClick_;
    QElapsedTimer lastClickTime_;
    QPointF lastClickPos_;
};

// A map whose layout is one list of hit records of type Hit (each with
// `node`, `label` and `bytes`).
template <typename Hit>
class HitListMapView : public MapView {
public:
    using MapView::MapView;
    const std::vector<Hit>& hits() const { return hits_; }

protected:
    void clearMap() override { hits_.clear(); }
    // A single-level layout leaves `parent` unset: its shapes are the root's.
    std::optional<MapTarget> target(const std::optional<Hit>& hit) const {
        if (!hit) return std::nullopt;
        const ScanNode* parent = root();
        if constexpr (requires { hit->parent; }) {
            if (hit->parent) parent = hit->parent;
        }
        return MapTarget{hit->node, hit->label, hit->bytes, parent};
    }

    std::vector<Hit> hits_;
};

} // namespace tb
