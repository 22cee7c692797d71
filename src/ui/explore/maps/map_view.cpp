#include "ui/explore/maps/map_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <numbers>
#include <thread>

#include "layout/map_depth.h"

#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/explore/maps/hover_caption.h"
#include "ui/explore/node_menu.h"

namespace tb {

MapView::MapView(AppSession& session, bool dive, QWidget* parent)
    : QWidget(parent),
      session_(session),
      dive_(dive),
      link_(std::make_shared<SessionLink<MapView>>(this)) {
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

MapView::~MapView() {
    link_->cut();
}

void MapView::setRoot(const ScanNode* root) {
    if (root == root_) return;
    root_ = root;
    // A dive changes the root between the two clicks of a double click; only
    // a forest change makes the first click's node invalid.
    if (!root) {
        lastClick_.reset();
        folderKinds_.clear();
        kindsRoot_ = nullptr;
        kindsReady_ = false;
        ++kindsGeneration_;
    }
    current_.reset();
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
    depth = MapDepth::normalized(depth);
    if (depth == depth_) return;
    depth_ = depth;
    setHover(std::nullopt);
    relayout();
}

void MapView::setColours(MapColours colours) {
    if (colours == colours_) return;
    colours_ = colours;
    relayout();
}

void MapView::relayout() {
    clearMap();
    if (root_) layoutMap(*root_, mapSize());
    if (colours_ == MapColours::kinds && root_ && kindsRoot_ != root_) findFolderKinds();
    update();
}

// One pass below the root, not one per redraw or per shape, and off the
// interface thread: a million files take a good part of a second.
void MapView::findFolderKinds() {
    kindsRoot_ = root_;
    kindsReady_ = false;
    folderKinds_.clear();
    const std::uint64_t generation = ++kindsGeneration_;
    const ScanNode* root = root_;
    if (!session_.forest()) {
        // A root of no loaded forest (a tree shown on its own) is the
        // caller's to keep alive, but not beyond this call.
        folderKinds_ = FileKinds::folderKinds(root);
        kindsReady_ = true;
        return;
    }
    // The forest's copy keeps the nodes alive until the answer is back; a
    // later root or forest makes it stale.
    std::thread([link = link_, forest = *session_.forest(), root, generation] {
        auto kinds = FileKinds::folderKinds(root);
        link->post([generation, kinds = std::move(kinds)](MapView& view) mutable {
            if (view.kindsGeneration_ != generation) return;
            view.folderKinds_ = std::move(kinds);
            view.kindsReady_ = true;
            view.update();
        });
    }).detach();
}

QColor MapView::fillFor(const ScanNode* node, int position) const {
    if (colours_ == MapColours::shades) return DiskTheme::slice(position);
    if (!node) return DiskTheme::primary(0.16); // a bucket holds every kind
    return DiskTheme::kindHue(std::size_t(FileKinds::kindOf(*node, folderKinds_)));
}

QColor MapView::labelFor(const ScanNode* node, int position) const {
    if (colours_ == MapColours::shades || !node) return labelColour(position);
    return DiskTheme::readableOn(fillFor(node, position));
}

QPainterPath MapView::ringSector(QPointF centre, double start, double end, double inner,
                                 double outer) {
    // Layout angles grow clockwise on screen; Qt's degrees grow anticlockwise.
    const auto degrees = [](double radians) { return -radians * 180.0 / std::numbers::pi; };
    const auto circle = [centre](double r) {
        return QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    };
    const double sweep = degrees(end) - degrees(start);
    QPainterPath path;
    path.arcMoveTo(circle(outer), degrees(start));
    path.arcTo(circle(outer), degrees(start), sweep);
    path.arcTo(circle(inner), degrees(end), -sweep);
    path.closeSubpath();
    return path;
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
                             const QColor& colour, std::string_view label) {
    if (tile.width() <= 72 || tile.height() <= 22) return;
    const QRectF text = tile.adjusted(8, 6, -8, -6);
    painter.setPen(colour);
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
        // Neighbours of one type would run together: a hairline apart.
        const bool gap = colours_ == MapColours::kinds && r.width() > 3;
        painter.fillRect(gap ? r.adjusted(0, 0, -1, 0) : r, fillFor(tile.node, i));
        if (isSelected(tile.id)) {
            painter.setPen(QPen(DiskTheme::halo(), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r.adjusted(1, 1, -1, -1));
        }
        paintTileLabel(painter, metrics, r, labelFor(tile.node, i), tile.label);
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
    if (hasFocus()) paintKeyboard(painter);
    if (hover_) HoverCaption{hover_->label, hover_->bytes}.paint(painter, QRectF(rect()));
}

// The focus ring around the map, and the keys' shape outlined where the
// selection's outline does not already mark it (a bucket).
void MapView::paintKeyboard(QPainter& painter) const {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(DiskTheme::accent(0.8), 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    if (root_) {
        const auto shapes = keyShapes();
        if (const auto at = currentIn(shapes); at && !isSelected(shapes[*at].id)) {
            QPen pen(DiskTheme::halo(), 2, Qt::DashLine);
            painter.setPen(pen);
            painter.drawPath(outlineOf(*at));
        }
    }
    painter.restore();
}

std::optional<std::size_t> MapView::currentIn(const std::vector<KeyShape>& shapes) const {
    const ScanNode* selected = session_.selected();
    std::optional<std::size_t> kept;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        // The root's own shape (the flame's top bar) is where the keys
        // begin, not a shape among siblings.
        if (shapes[i].node && shapes[i].node == root_) continue;
        if (selected && shapes[i].node == selected) return i;
        if (current_ && !kept && shapes[i].id == *current_) kept = i;
    }
    return kept;
}

std::optional<std::size_t> MapView::currentShape() const {
    return root_ ? currentIn(keyShapes()) : std::nullopt;
}

void MapView::keyPressEvent(QKeyEvent* event) {
    if (!root_ || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    const auto shapes = keyShapes();
    const auto current = currentIn(shapes);
    std::optional<MapKeys::Arrow> arrow;
    switch (event->key()) {
    case Qt::Key_Left: arrow = MapKeys::Arrow::left; break;
    case Qt::Key_Right: arrow = MapKeys::Arrow::right; break;
    case Qt::Key_Up: arrow = MapKeys::Arrow::up; break;
    case Qt::Key_Down: arrow = MapKeys::Arrow::down; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current) {
            const KeyShape& shape = shapes[*current];
            if (shape.node) {
                session_.dive(shape.node);
            } else if (shape.shape.parent) {
                const QPoint at(int(shape.shape.centre.x), int(shape.shape.centre.y));
                emit bucketOpened(shape.shape.parent, mapToGlobal(at));
            }
        }
        event->accept();
        return;
    case Qt::Key_Backspace:
        if (session_.forest() && !session_.isScanning()) session_.goUp();
        event->accept();
        return;
    default: QWidget::keyPressEvent(event); return;
    }
    std::vector<MapKeys::Shape> places;
    places.reserve(shapes.size());
    for (const KeyShape& k : shapes)
        places.push_back(k.shape);
    const auto next =
        current ? MapKeys::step(places, *current, *arrow) : MapKeys::first(places, root_);
    event->accept();
    if (!next) return;
    const KeyShape& to = shapes[*next];
    current_ = to.id;
    // The bucket has no node: the selection is cleared, as by a click.
    session_.select(to.node);
    setHover(MapTarget{to.node, to.label, to.bytes, to.shape.parent});
    update();
}

void MapView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void MapView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
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
    current_.reset();
    if (!lastClick_) return;
    if (!lastClick_->node) {
        // The keys go on from the bucket clicked, which no selection marks.
        for (const KeyShape& k : keyShapes()) {
            if (!k.node && k.shape.parent == lastClick_->parent) current_ = k.id;
        }
    }
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
