#include "ui/explore/maps/map_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/explore/maps/hover_caption.h"
#include "ui/explore/node_menu.h"

namespace tb {

MapView::MapView(AppSession& session, bool dive, QWidget* parent)
    : QWidget(parent), session_(session), dive_(dive) {
    setMouseTracking(true);
    // Focus lets the pane's keys (up, back, forward) reach it after a click.
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        // The old forest may already be gone: drop its pointers unread.
        if (field == SessionField::forest) setRoot(nullptr);
        if (field == SessionField::selected) update();
    });
}

void MapView::setRoot(const ScanNode* root) {
    if (root == root_) return;
    root_ = root;
    // A dive changes the root between the two clicks of a double click; only
    // a forest change makes the first click's node invalid.
    if (!root) lastClick_.reset();
    setHover(std::nullopt);
    relayout();
    announce(std::nullopt);
}

void MapView::announce(const std::optional<MapTarget>& shape) {
    QString text;
    if (shape) {
        text = DiskTheme::displayText(shape->label) + QStringLiteral(", ") +
               DiskTheme::bytes(shape->bytes);
    } else if (root_) {
        text = DiskTheme::displayText(root_->name()) + QStringLiteral(", ") +
               DiskTheme::bytes(root_->allocatedSize());
    }
    if (text != accessibleDescription()) setAccessibleDescription(text);
}

void MapView::setDepth(int depth) {
    depth = std::clamp(depth, 1, 4);
    if (depth == depth_) return;
    depth_ = depth;
    setHover(std::nullopt);
    relayout();
}

void MapView::relayout() {
    clearMap();
    if (root_) layoutMap(*root_, mapSize());
    update();
}

std::optional<MapTarget> MapView::locate(QPointF point) const {
    if (!root_) return std::nullopt;
    return locateAt(Point{point.x(), point.y()});
}

bool MapView::isSelected(const Uuid& id) const {
    const ScanNode* selected = session_.selected();
    return selected && selected->id() == id;
}

QColor MapView::labelColour(int position) {
    // The two lightest shades are too close to the background colour for
    // background-coloured text to be read.
    const double shade = DiskTheme::shades[std::size_t(position % int(DiskTheme::shades.size()))];
    return shade < 0.35 ? DiskTheme::primary() : DiskTheme::textBackground();
}

void MapView::paintTileLabel(QPainter& painter, const QFontMetricsF& metrics, const QRectF& tile,
                             int position, std::string_view label) {
    if (tile.width() <= 72 || tile.height() <= 22) return;
    const QRectF text = tile.adjusted(8, 6, -8, -6);
    painter.setPen(labelColour(position));
    painter.drawText(
        text, Qt::AlignLeft | Qt::AlignTop,
        metrics.elidedText(DiskTheme::displayText(label), Qt::ElideRight, text.width()));
}

void MapView::paintTiles(QPainter& painter, std::span<const RectHit> tiles) const {
    painter.setFont(DiskTheme::caption());
    const QFontMetricsF metrics(painter.font());
    int position = 0;
    for (const RectHit& tile : tiles) {
        const int i = position++;
        if (tile.rect.isEmpty()) continue;
        const QRectF r(tile.rect.x, tile.rect.y, tile.rect.width, tile.rect.height);
        painter.fillRect(r, DiskTheme::slice(i));
        if (isSelected(tile.id)) {
            painter.setPen(QPen(DiskTheme::halo(), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r.adjusted(1, 1, -1, -1));
        }
        paintTileLabel(painter, metrics, r, i, tile.label);
    }
}

void MapView::setHover(std::optional<MapTarget> target) {
    const bool same = hover_.has_value() == target.has_value() &&
                      (!hover_ || (hover_->node == target->node && hover_->label == target->label));
    hover_ = std::move(target);
    if (!same) {
        announce(hover_);
        update();
    }
}

void MapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (root_) paintMap(painter);
    if (hover_) HoverCaption{hover_->label, hover_->bytes}.paint(painter, QRectF(rect()));
}

void MapView::resizeEvent(QResizeEvent*) {
    relayout();
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
    setHover(locate(event->position()));
}

void MapView::leaveEvent(QEvent*) {
    setHover(std::nullopt);
}

void MapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    lastClick_ = locate(event->position());
    lastClickTime_.start();
    lastClickPos_ = event->position();
    if (!lastClick_) return;
    const ScanNode* node = lastClick_->node;
    if (dive_ && node && node->isDirectory()) {
        session_.dive(node);
    } else {
        session_.select(node); // the bucket has no node: this clears the selection
        if (!node && lastClick_->parent) {
            emit bucketOpened(lastClick_->parent, event->globalPosition().toPoint());
        }
    }
}

void MapView::contextMenuEvent(QContextMenuEvent* event) {
    // From the keyboard the menu is for the shape under the pointer, if any.
    const QPoint at =
        event->reason() == QContextMenuEvent::Mouse ? event->pos() : mapFromGlobal(QCursor::pos());
    const auto target = locate(at);
    if (!target) return;
    if (target->node) {
        NodeMenu::popup(session_, *target->node, this, event->globalPos());
    } else if (target->parent) {
        emit bucketOpened(target->parent, event->globalPos());
    }
}

void MapView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const bool pairsWithClick =
        lastClick_ && lastClickTime_.isValid() &&
        lastClickTime_.elapsed() <= QApplication::doubleClickInterval() &&
        (event->position() - lastClickPos_).manhattanLength() <= QApplication::startDragDistance();
    const std::optional<MapTarget> target = pairsWithClick ? lastClick_ : locate(event->position());
    lastClick_.reset();
    // Diving into the node already shown adds nothing to the trail, so a
    // double click on a folder the first click entered stays there.
    if (target && target->node) session_.dive(target->node);
}

} // namespace tb
