#include "ui/explore/maps/mind_map_view.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "ui/disk_theme.h"

namespace tb {

namespace {
constexpr double rootDot = 14;
constexpr double endDot = 10;
constexpr double labelOffset = 12;
constexpr double selectedExtraWidth = 1.4;
} // namespace

MindMapView::MindMapView(AppSession& session, QWidget* parent)
    : HitListMapView(session, false, parent) {}

void MindMapView::layoutMap(const ScanNode& root, Size size) {
    hits_ = MindMapLayout::hits(MapLayout::ranked(root.children(), MapLayout::visibleLimit), size);
}

std::optional<MapTarget> MindMapView::locateAt(Point point) const {
    return target(MindMapLayout::hit(point, hits_));
}

void MindMapView::paintMap(QPainter& painter) const {
    painter.setFont(DiskTheme::caption());
    const QFontMetricsF metrics(painter.font());

    for (const BranchHit& branch : hits_) {
        const bool selected = isSelected(branch.id);
        const QPointF start(branch.start.x, branch.start.y);
        const QPointF end(branch.end.x, branch.end.y);
        QPainterPath curve(start);
        curve.quadTo(QPointF((start.x() + end.x()) / 2, end.y()), end);
        painter.strokePath(
            curve, selected ? QPen(DiskTheme::halo(), branch.thickness + selectedExtraWidth,
                                   Qt::SolidLine, Qt::RoundCap)
                            : QPen(DiskTheme::primary(0.35), branch.thickness, Qt::SolidLine,
                                   Qt::RoundCap));
        painter.setPen(Qt::NoPen);
        painter.setBrush(selected ? DiskTheme::halo() : DiskTheme::primary(0.7));
        painter.drawEllipse(end, endDot / 2, endDot / 2);

        const double left = end.x() + endDot / 2 + labelOffset;
        const double room = std::max(0.0, width() - left - 8);
        painter.setPen(DiskTheme::primary());
        painter.drawText(
            QRectF(left, end.y() - metrics.height() / 2, room, metrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(DiskTheme::displayText(branch.label), Qt::ElideRight, room));
    }

    // The branches start at the root; without branches it sits where they would.
    const QPointF origin = hits_.empty() ? QPointF(MindMapLayout::startX, height() * 0.5)
                                         : QPointF(hits_.front().start.x, hits_.front().start.y);
    painter.setPen(Qt::NoPen);
    painter.setBrush(DiskTheme::primary());
    painter.drawEllipse(origin, rootDot / 2, rootDot / 2);
    const QString name = DiskTheme::displayText(root()->name());
    const double nameWidth = std::min(metrics.horizontalAdvance(name), width() / 2.0);
    const double nameLeft = std::max(4.0, origin.x() - nameWidth / 2);
    painter.setPen(DiskTheme::primary());
    painter.drawText(QRectF(nameLeft, origin.y() - rootDot / 2 - 4 - metrics.height(),
                            nameWidth + 2, metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(name, Qt::ElideRight, nameWidth + 2));
}

} // namespace tb
