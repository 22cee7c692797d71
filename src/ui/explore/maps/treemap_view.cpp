#include "ui/explore/maps/treemap_view.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include "layout/nested_treemap_layout.h"
#include "layout/treemap_layout.h"
#include "scan/size_ranking.h"
#include "ui/disk_theme.h"

namespace tb {

TreemapView::TreemapView(AppSession& session, QWidget* parent)
    : HitListMapView(session, true, parent) {}

void TreemapView::setCushions(bool on) {
    cushions_ = on;
    update();
}

void TreemapView::layoutMap(const ScanNode& root, Size size) {
    if (depth() == 1) {
        hits_ =
            TreemapLayout::hits(MapLayout::ranked(root.children(), MapLayout::visibleLimit), size);
    } else {
        hits_ = NestedTreemapLayout::hits(&root, size, depth());
    }
}

std::optional<MapTarget> TreemapView::locateAt(Point point) const {
    // Tiles of one level never overlap, so the deepest is also the only one.
    return target(NestedTreemapLayout::hit(point, hits_));
}

void TreemapView::paintMap(QPainter& painter) const {
    if (depth() == 1) {
        paintTiles(painter, hits_);
    } else {
        paintNested(painter);
    }
}

// Folders that hold a level are frames: a light fill that deepens with the
// level and the name in the header strip. Everything else is a tile filled
// by its place among its siblings, or by its type.
void TreemapView::paintNested(QPainter& painter) const {
    painter.setFont(DiskTheme::caption());
    const QFontMetricsF metrics(painter.font());
    const RectHit* selected = nullptr;
    const ScanNode* group = nullptr;
    int position = 0;
    for (const RectHit& tile : hits_) {
        if (tile.parent != group) {
            group = tile.parent;
            position = 0;
        }
        const int i = position++;
        const QRectF r(tile.rect.x, tile.rect.y, tile.rect.width, tile.rect.height);
        if (isSelected(tile.id)) selected = &tile;
        if (tile.framed) {
            painter.fillRect(r, DiskTheme::primary(0.10 + 0.06 * tile.depth));
            const QRectF header(r.x() + 4, r.y(), r.width() - 8, NestedTreemapLayout::headerHeight);
            if (header.width() > 24) {
                painter.setPen(DiskTheme::primary());
                painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter,
                                 metrics.elidedText(DiskTheme::displayText(tile.label),
                                                    Qt::ElideRight, header.width()));
            }
            continue;
        }
        painter.fillRect(r, fillFor(tile.node, i));
        if (cushions_ && r.width() > 3 && r.height() > 3) {
            // A ridge of light from the top left, a shadow at the bottom right.
            QLinearGradient light(r.topLeft(), r.bottomRight());
            light.setColorAt(0, QColor(255, 255, 255, 46));
            light.setColorAt(0.5, QColor(255, 255, 255, 0));
            light.setColorAt(1, QColor(0, 0, 0, 56));
            painter.fillRect(r, light);
        }
        paintTileLabel(painter, metrics, r, labelFor(tile.node, i), tile.label);
    }
    if (selected) {
        painter.setPen(QPen(DiskTheme::halo(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(
            QRectF(selected->rect.x, selected->rect.y, selected->rect.width, selected->rect.height)
                .adjusted(1, 1, -1, -1));
    }
}

} // namespace tb
