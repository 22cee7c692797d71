#include "ui/explore/maps/bubble_view.h"

#include <QFontMetricsF>
#include <QPainter>

#include "ui/disk_theme.h"

namespace tb {

namespace {
constexpr double minLabelRadius = 28;
} // namespace

BubbleView::BubbleView(AppSession& session, QWidget* parent)
    : HitListMapView(session, false, parent) {}

void BubbleView::layoutMap(const ScanNode& root, Size size) {
    hits_ = BubbleLayout::hits(MapLayout::ranked(root.children(), MapLayout::visibleLimit), size);
}

std::optional<MapTarget> BubbleView::locateAt(Point point) const {
    return target(BubbleLayout::hit(point, hits_));
}

void BubbleView::paintMap(QPainter& painter) const {
    painter.setFont(DiskTheme::caption());
    const QFontMetricsF metrics(painter.font());
    int position = 0;
    for (const CircleHit& circle : hits_) {
        const int i = position++;
        const QPointF c(circle.center.x, circle.center.y);
        painter.setPen(isSelected(circle.id) ? QPen(DiskTheme::halo(), 2) : QPen(Qt::NoPen));
        painter.setBrush(DiskTheme::slice(i));
        painter.drawEllipse(c, circle.radius, circle.radius);
        if (circle.radius > minLabelRadius) {
            const double room = 2 * circle.radius - 12;
            painter.setPen(labelColour(i));
            painter.drawText(
                QRectF(c.x() - room / 2, c.y() - metrics.height() / 2, room, metrics.height()),
                Qt::AlignCenter,
                metrics.elidedText(DiskTheme::displayText(circle.label), Qt::ElideRight, room));
        }
    }
}

} // namespace tb
