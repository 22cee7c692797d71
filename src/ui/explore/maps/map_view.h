// The frame shared by the five maps: the node shown (`root`), the layout
// recomputed when the root or the widget's size changes, the colours (shades
// by place, or by file type), the pointer handling — hover caption, single
// click (dive into a folder or select) and double click (dive) — and the
// keys: arrows move between sibling shapes, Return dives (or lists a
// bucket), Backspace goes up; the current shape is outlined and the map
// shows a focus ring. Subclasses only lay out, hit-test and paint what their
// layout returns. Interface thread only.
//
// Node pointers held here belong to the session's forest: the view forgets
// them the moment the forest changes, before anything can dereference them.
#pragma once

#include <QColor>
#include <QFontMetricsF>
#include <QElapsedTimer>
#include <QPainterPath>
#include <QPointF>
#include <QWidget>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/uuid.h"
#include "layout/file_kinds.h"
#include "layout/geometry.h"
#include "layout/map_keys.h"
#include "layout/rect_hit.h"
#include "scan/scan_node.h"
#include "session/session_link.h"

namespace tb {

class AppSession;

// What a map's hit test finds under a point; `node` is null for the bucket.
struct MapTarget {
    const ScanNode* node = nullptr;
    std::string label;
    std::int64_t bytes = 0;
    const ScanNode* parent = nullptr; // the folder of the shape; set for every bucket
};

enum class MapColours { shades, kinds };

class MapView : public QWidget {
    Q_OBJECT
public:
    // `dive`: whether a single click on a folder goes into it.
    MapView(AppSession& session, bool dive, QWidget* parent = nullptr);
    ~MapView() override;

    // Null forgets the root and every shape.
    void setRoot(const ScanNode* root);
    const ScanNode* root() const { return root_; }
    bool dives() const { return dive_; }
    // Levels shown at once, 1 to 4 or MapDepth::all, where the map draws
    // several; 1 is the single level.
    void setDepth(int depth);
    int depth() const { return depth_; }
    // Shades by place among siblings, or a colour per file type (a folder
    // takes the type with most of its bytes; a bucket stays neutral).
    void setColours(MapColours colours);
    MapColours colours() const { return colours_; }
    // Whether the folders' types below the root are known: they are found
    // beside the interface thread, and folders stay neutral until then.
    bool coloursReady() const { return kindsReady_; }
    // The shape the keys act on: its place in the map's list of shapes.
    std::optional<std::size_t> currentShape() const;
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
    // A shape as the keys see it, in the map's list order.
    struct KeyShape {
        Uuid id;
        const ScanNode* node = nullptr; // none for a bucket
        MapKeys::Shape shape;
        std::string label;
        std::int64_t bytes = 0;
    };

    virtual void layoutMap(const ScanNode& root, Size size) = 0;
    virtual void clearMap() = 0;
    virtual std::optional<MapTarget> locateAt(Point point) const = 0;
    virtual void paintMap(QPainter& painter) const = 0;
    virtual std::vector<KeyShape> keyShapes() const = 0;
    virtual QPainterPath outlineOf(std::size_t shape) const = 0;

    AppSession& session() const { return session_; }
    // Whether a shape of this identity stands for the selected node.
    bool isSelected(const Uuid& id) const;
    Size mapSize() const { return Size{double(width()), double(height())}; }
    // Treemap tiles and flame bars: filled by position, the selected one
    // outlined, labels where they fit.
    void paintTiles(QPainter& painter, std::span<const RectHit> tiles) const;
    // The label colour on a shape filled with the palette entry `position`.
    static QColor labelColour(int position);
    // A shape's fill and its label's colour in the current colours: the
    // palette entry `position`, or the colour of the node's type.
    QColor fillFor(const ScanNode* node, int position) const;
    QColor labelFor(const ScanNode* node, int position) const;
    // The annular sector of a ring around `centre` (angles as the layouts').
    static QPainterPath ringSector(QPointF centre, double start, double end, double inner,
                                   double outer);
    // A tile's label in its top left corner, elided, where the tile is large
    // enough to hold one.
    static void paintTileLabel(QPainter& painter, const QFontMetricsF& metrics, const QRectF& tile,
                               const QColor& colour, std::string_view label);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void relayout();
    void findFolderKinds();
    void setHover(std::optional<MapTarget> target);
    std::optional<std::size_t> currentIn(const std::vector<KeyShape>& shapes) const;
    void paintKeyboard(QPainter& painter) const;

    AppSession& session_;
    const bool dive_;
    const ScanNode* root_ = nullptr;
    int depth_ = 1;
    MapColours colours_ = MapColours::shades;
    // Each folder's type below `kindsRoot_`, made once per root while the
    // map is coloured by type.
    FileKinds::FolderKinds folderKinds_;
    const ScanNode* kindsRoot_ = nullptr;
    bool kindsReady_ = false;
    std::uint64_t kindsGeneration_ = 0;
    std::shared_ptr<SessionLink<MapView>> link_;
    // The keys' shape when the selection is not on the map (a bucket).
    std::optional<Uuid> current_;
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

    std::vector<KeyShape> keyShapes() const override {
        std::vector<KeyShape> out;
        out.reserve(hits_.size());
        const QPointF c(width() / 2.0, height() / 2.0);
        for (const Hit& h : hits_) {
            KeyShape k{h.id, h.node, {root(), {}}, h.label, h.bytes};
            if constexpr (requires { h.parent; }) {
                if (h.parent) k.shape.parent = h.parent;
                // The flame's root bar is no sibling of its children.
                if (h.node == root()) k.shape.parent = nullptr;
            }
            if constexpr (requires { h.rect; }) {
                k.shape.centre = {h.rect.x + h.rect.width / 2, h.rect.y + h.rect.height / 2};
            } else if constexpr (requires { h.inner; }) {
                const double a = (h.start + h.end) / 2, r = (h.inner + h.outer) / 2;
                k.shape.centre = {c.x() + r * std::cos(a), c.y() + r * std::sin(a)};
            } else if constexpr (requires { h.radius; }) {
                k.shape.centre = h.center;
            } else {
                k.shape.centre = h.end;
            }
            out.push_back(std::move(k));
        }
        return out;
    }
    QPainterPath outlineOf(std::size_t shape) const override {
        QPainterPath path;
        if (shape >= hits_.size()) return path;
        const Hit& h = hits_[shape];
        if constexpr (requires { h.rect; }) {
            path.addRect(QRectF(h.rect.x, h.rect.y, h.rect.width, h.rect.height));
        } else if constexpr (requires { h.inner; }) {
            path = ringSector(QPointF(width() / 2.0, height() / 2.0), h.start, h.end, h.inner,
                              h.outer);
        } else if constexpr (requires { h.radius; }) {
            path.addEllipse(QPointF(h.center.x, h.center.y), h.radius, h.radius);
        } else {
            path.addEllipse(QPointF(h.end.x, h.end.y), 9, 9);
        }
        return path;
    }

    std::vector<Hit> hits_;
};

} // namespace tb
