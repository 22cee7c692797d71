#include "ui/explore/maps/sunburst_view.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

#include "ui/disk_theme.h"

namespace tb {

namespace {

constexpr double minLabelSweep = 0.28; // radians

// Layout angles grow clockwise on screen; Qt's degrees grow anticlockwise.
double qtDegrees(double radians) {
    return -radians * 180.0 / std::numbers::pi;
}

QRectF circle(QPointF centre, double radius) {
    return QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
}

QPainterPath sector(QPointF centre, const WedgeHit& wedge) {
    const double sweep = qtDegrees(wedge.end) - qtDegrees(wedge.start);
    QPainterPath path;
    path.arcMoveTo(circle(centre, wedge.outer), qtDegrees(wedge.start));
    path.arcTo(circle(centre, wedge.outer), qtDegrees(wedge.start), sweep);
    path.arcTo(circle(centre, wedge.inner), qtDegrees(wedge.end), -sweep);
    path.closeSubpath();
    return path;
}

} // namespace

SunburstView::SunburstView(AppSession& session, QWidget* parent)
    : HitListMapView(session, true, parent) {}

void SunburstView::layoutMap(const ScanNode& root, Size size) {
    if (depth() == 1) {
        hits_ =
            SunburstLayout::hits(MapLayout::ranked(root.children(), MapLayout::visibleLimit), size);
    } else {
        hits_ = SunburstLayout::rings(&root, size, depth());
    }
}

std::optional<MapTarget> SunburstView::locateAt(Point point) const {
    return target(SunburstLayout::hit(point, mapSize(), hits_));
}

void SunburstView::paintMap(QPainter& painter) const {
    const QPointF c = centre();
    const double outer = std::min(width(), height()) * SunburstLayout::outerRadiusFactor;
    const double inner = outer * SunburstLayout::innerRadiusFactor;

    // The track shows where the ring is even when the folder is empty.
    QPainterPath track;
    track.addEllipse(circle(c, outer));
    track.addEllipse(circle(c, inner));
    painter.fillPath(track, DiskTheme::primary(0.05));

    painter.setFont(DiskTheme::caption());
    const QFontMetricsF metrics(painter.font());
    const WedgeHit* selected = nullptr;
    const ScanNode* group = nullptr;
    int position = 0;
    for (const WedgeHit& wedge : hits_) {
        // Shades count within each folder's wedges, starting one further
        // out per ring, so that a child never matches the wedge it sits on.
        if (wedge.parent != group) {
            group = wedge.parent;
            position = wedge.depth;
        }
        const int i = position++;
        if (wedge.end <= wedge.start) continue;
        const QPainterPath path = sector(c, wedge);
        painter.fillPath(path, fillFor(wedge.node, i));
        if (isSelected(wedge.id)) {
            selected = &wedge;
        } else if (colours() == MapColours::kinds) {
            // Neighbours of one type would run together.
            painter.strokePath(path, QPen(DiskTheme::textBackground(), 1));
        } else {
            painter.strokePath(path, QPen(DiskTheme::primary(0.12), 0.6));
        }
        if (wedge.end - wedge.start > minLabelSweep) {
            const double mid = (wedge.start + wedge.end) / 2;
            const double radius = (wedge.inner + wedge.outer) / 2;
            const QPointF at(c.x() + radius * std::cos(mid), c.y() + radius * std::sin(mid));
            const double room = std::max(24.0, wedge.outer - wedge.inner);
            const QString text =
                metrics.elidedText(DiskTheme::displayText(wedge.label), Qt::ElideRight, room);
            painter.setPen(labelFor(wedge.node, i));
            painter.drawText(
                QRectF(at.x() - room / 2, at.y() - metrics.height() / 2, room, metrics.height()),
                Qt::AlignCenter, text);
        }
    }
    // Drawn last so that no neighbour paints over the outline.
    if (selected) painter.strokePath(sector(c, *selected), QPen(DiskTheme::halo(), 2));

    paintCentreLabel(painter, c, inner);
}

// The root's name inside the hole: wrapped at word boundaries when it fits
// that way, otherwise one elided line; nothing in a hole too small to read.
void SunburstView::paintCentreLabel(QPainter& painter, QPointF c, double hole) const {
    const double side = hole * 1.4; // the square inside the hole
    if (side < 24) return;
    const QRectF box(c.x() - side / 2, c.y() - side / 2, side, side);
    const QString name = DiskTheme::displayText(root()->name());
    const QFontMetricsF metrics(painter.font());
    painter.setPen(DiskTheme::secondary());
    const QRectF wrapped = metrics.boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, name);
    if (wrapped.width() <= box.width() && wrapped.height() <= box.height()) {
        painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, name);
    } else {
        painter.drawText(box, Qt::AlignCenter,
                         metrics.elidedText(name, Qt::ElideMiddle, box.width()));
    }
}

} // namespace tb
