#include "ui/explore/folder_browser_view.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

#include "base/byte_format.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/explore/explore_text.h"
#include "ui/explore/node_menu.h"

namespace tb {

double FolderRow::barWidth(std::int64_t bytes, std::int64_t whole) {
    const double share = whole < 1 ? 0.0 : double(bytes) / double(whole);
    return std::max(barBoxWidth * share, minBarWidth);
}

// --- model -----------------------------------------------------------------

namespace {

// Names sort as a reader expects: ASCII letters without case, then bytes.
bool nameBefore(std::string_view a, std::string_view b) {
    const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : int(c); };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = fold((unsigned char)a[i]), y = fold((unsigned char)b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size() || (a.size() == b.size() && a < b);
}

QString dateText(const Date& date) {
    if (date.isDistantPast()) return QStringLiteral("\u2014");
    return QDateTime::fromSecsSinceEpoch(date.seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

void FolderTreeModel::setRoot(const ScanNode* root) {
    beginResetModel();
    root_ = root;
    rows_.clear();
    places_.clear();
    counts_.clear();
    newest_.clear();
    endResetModel();
}

const ScanNode* FolderTreeModel::node(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const ScanNode*>(index.internalPointer()) : nullptr;
}

const ScanNode* FolderTreeModel::parentOf(const ScanNode* node) const {
    const auto it = places_.find(node);
    return it == places_.end() ? nullptr : it->second.parent;
}

QModelIndex FolderTreeModel::indexOf(const ScanNode* node, int column) const {
    rowsOf(root_); // rows are placed when first asked for, maybe not yet after a reset
    const auto it = places_.find(node);
    if (!node || it == places_.end()) return {};
    return createIndex(it->second.row, column, const_cast<ScanNode*>(node));
}

std::int64_t FolderTreeModel::itemCount(const ScanNode* node) const {
    if (!node->isDirectory()) return 0;
    if (const auto it = counts_.find(node); it != counts_.end()) return it->second;
    std::int64_t count = 0;
    std::vector<const ScanNode*> stack{node};
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        count += std::int64_t(n->children().size());
        for (const ScanNode* c : n->children()) {
            if (c->isDirectory()) stack.push_back(c);
        }
    }
    counts_[node] = count;
    return count;
}

Date FolderTreeModel::modified(const ScanNode* node) const {
    if (node->isDirectory() && newest_.empty()) newest_ = SubtreeTimes::newest(root_);
    return SubtreeTimes::newestOf(*node, newest_);
}

void FolderTreeModel::sortRows(std::vector<const ScanNode*>& rows) const {
    // The stored order is by size, largest first: every key sorts stably
    // from it, so equal keys stay largest first.
    const bool up = sortOrder_ == Qt::AscendingOrder;
    auto by = [&](auto key) {
        std::stable_sort(rows.begin(), rows.end(), [&](const ScanNode* a, const ScanNode* b) {
            return up ? key(a, b) : key(b, a);
        });
    };
    switch (sortColumn_) {
    case FolderBrowserView::nameColumn:
        by([](const ScanNode* a, const ScanNode* b) { return nameBefore(a->name(), b->name()); });
        break;
    case FolderBrowserView::itemsColumn:
        by([this](const ScanNode* a, const ScanNode* b) { return itemCount(a) < itemCount(b); });
        break;
    case FolderBrowserView::modifiedColumn:
        by([this](const ScanNode* a, const ScanNode* b) { return modified(a) < modified(b); });
        break;
    default:
        by([](const ScanNode* a, const ScanNode* b) {
            return a->allocatedSize() < b->allocatedSize();
        });
        break;
    }
}

const std::vector<const ScanNode*>& FolderTreeModel::rowsOf(const ScanNode* folder) const {
    static const std::vector<const ScanNode*> none;
    if (!folder) return none;
    auto [it, added] = rows_.try_emplace(folder);
    if (added) {
        const auto children = folder->children();
        it->second.assign(children.begin(), children.end());
        sortRows(it->second);
        for (std::size_t i = 0; i < it->second.size(); ++i)
            places_[it->second[i]] = {folder, int(i)};
    }
    return it->second;
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const ScanNode* folder = parent.isValid() ? node(parent) : root_;
    const auto& rows = rowsOf(folder);
    if (row < 0 || std::size_t(row) >= rows.size() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column, const_cast<ScanNode*>(rows[std::size_t(row)]));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const ScanNode* folder = parentOf(node(child));
    if (!folder || folder == root_) return {};
    return indexOf(folder);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return int(rowsOf(parent.isValid() ? node(parent) : root_).size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return FolderBrowserView::columnCount;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) return root_ && !root_->children().empty();
    const ScanNode* n = node(parent);
    return parent.column() == 0 && n && !n->children().empty();
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    const ScanNode* n = node(index);
    if (!n) return {};
    const ScanNode* folder = parentOf(n);
    const std::int64_t whole = folder ? folder->allocatedSize() : 0;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case FolderBrowserView::nameColumn: return DiskTheme::displayText(n->name());
        case FolderBrowserView::sizeColumn:
            if (n->leftOut() != LeftOutKind::none) return ExploreText::leftOutTag(n->leftOut());
            if (n->countedElsewhere()) return QStringLiteral("hard link, 0 B");
            return DiskTheme::bytes(n->allocatedSize());
        case FolderBrowserView::shareColumn:
            if (n->leftOut() != LeftOutKind::none) return QString();
            return QString::number(ByteFormat::percent(n->allocatedSize(), whole), 'f', 1) +
                   QStringLiteral(" %");
        case FolderBrowserView::itemsColumn:
            if (n->leftOut() != LeftOutKind::none) return QString();
            return n->isDirectory() ? QString::number(itemCount(n)) : QString();
        case FolderBrowserView::modifiedColumn: return dateText(modified(n));
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() != FolderBrowserView::nameColumn) return {};
        if (n->leftOut() == LeftOutKind::mount) return DiskTheme::icon("internaldrive");
        return DiskTheme::icon(n->isDirectory() ? "folder" : "doc");
    case Qt::ToolTipRole:
        if (n->leftOut() != LeftOutKind::none) {
            return DiskTheme::displayText(n->path()) + QLatin1Char('\n') +
                   ExploreText::leftOutReason(n->leftOut());
        }
        if (n->countedElsewhere()) {
            return DiskTheme::displayText(n->path()) +
                   QStringLiteral("\nAnother name of this file (a hard link) counts its size.");
        }
        return DiskTheme::displayText(n->path());
    case Qt::TextAlignmentRole:
        if (index.column() == FolderBrowserView::nameColumn) return {};
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::UserRole: return FolderRow::barWidth(n->allocatedSize(), whole);
    }
    return {};
}

QVariant FolderTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole &&
        section == FolderBrowserView::modifiedColumn) {
        return QStringLiteral("For a folder, the newest change anywhere inside it");
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* titles[] = {"Name", "Size", "Share", "Items", "Modified"};
    return section >= 0 && section < columnCount() ? QString::fromLatin1(titles[section])
                                                   : QVariant();
}

void FolderTreeModel::sort(int column, Qt::SortOrder order) {
    if (column == sortColumn_ && order == sortOrder_) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    sortColumn_ = column;
    sortOrder_ = order;
    for (auto& [folder, rows] : rows_) {
        const auto children = folder->children();
        rows.assign(children.begin(), children.end());
        sortRows(rows);
        for (std::size_t i = 0; i < rows.size(); ++i)
            places_[rows[i]] = {folder, int(i)};
    }
    QModelIndexList after;
    for (const QModelIndex& i : before)
        after.push_back(indexOf(node(i), i.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// --- view ------------------------------------------------------------------

namespace {

// The size column: the bar of the row's share of its parent, then the bytes.
class SizeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        initStyleOption(&plain, index);
        plain.text.clear();
        option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &plain, painter,
                                            option.widget);
        const QRectF box(option.rect.left() + 6,
                         option.rect.center().y() - FolderRow::barHeight / 2 + 1,
                         FolderRow::barBoxWidth, FolderRow::barHeight);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(DiskTheme::accent(0.35));
        painter->drawRoundedRect(
            QRectF(box.left(), box.top(), index.data(Qt::UserRole).toDouble(), box.height()), 2, 2);
        painter->setFont(DiskTheme::caption());
        painter->setPen(option.state & QStyle::State_Selected
                            ? option.palette.highlightedText().color()
                            : DiskTheme::secondary());
        painter->drawText(option.rect.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(
            int(FolderRow::barBoxWidth) + 90,
            std::max(FolderRow::height, QStyledItemDelegate::sizeHint(option, index).height()));
    }
};

} // namespace

FolderBrowserView::FolderBrowserView(AppSession& session, QWidget* parent)
    : QTreeView(parent), session_(session), model_(new FolderTreeModel(this)) {
    setModel(model_);
    setItemDelegateForColumn(sizeColumn, new SizeDelegate(this));
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setFrameShape(QFrame::NoFrame);
    setAllColumnsShowFocus(true);
    setSortingEnabled(true);
    header()->setSortIndicator(sizeColumn, Qt::DescendingOrder);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
    for (int c = sizeColumn; c < columnCount; ++c)
        header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // Type-ahead searches the column of the current index: keep it on names.
                if (current.isValid() && current.column() != nameColumn) {
                    selectionModel()->setCurrentIndex(current.siblingAtColumn(nameColumn),
                                                      QItemSelectionModel::NoUpdate);
                    return;
                }
                if (!following_ && current.isValid()) session_.select(nodeAt(current));
            });
    connect(this, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const ScanNode* n = nodeAt(index)) session_.dive(n);
    });
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        // The old forest may already be gone: drop its pointers unread.
        if (field == SessionField::forest) setRoot(nullptr);
        if (field == SessionField::selected) followSelection();
    });
}

std::vector<const ScanNode*> FolderBrowserView::chosenNodes() const {
    QModelIndexList rows = selectionModel()->selectedRows(nameColumn);
    // Rows folded away since they were chosen are no longer in sight: they stay.
    rows.removeIf([this](const QModelIndex& i) { return !visualRect(i).isValid(); });
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return visualRect(a).top() < visualRect(b).top();
    });
    std::vector<const ScanNode*> nodes;
    for (const QModelIndex& i : rows)
        if (const ScanNode* n = nodeAt(i)) nodes.push_back(n);
    return nodes;
}

const ScanNode* FolderBrowserView::nodeAt(const QModelIndex& index) const {
    return model_->node(index);
}

void FolderBrowserView::setRoot(const ScanNode* root) {
    if (root == root_) return;
    root_ = root;
    model_->setRoot(root);
    scrollToTop();
    followSelection();
}

const std::vector<const ScanNode*>& FolderBrowserView::nodes() const {
    return model_->rowsOf(root_);
}

QRect FolderBrowserView::rowRect(int row) const {
    return visualRect(model_->index(row, nameColumn));
}

// The session's selection becomes the current row, opened and scrolled into
// view, when it is one of the rows.
void FolderBrowserView::followSelection() {
    const QModelIndex index = model_->indexOf(session_.selected());
    // The current row of several chosen ones: the others stay chosen.
    if (index.isValid() && index == currentIndex() &&
        selectionModel()->isRowSelected(index.row(), index.parent()))
        return;
    following_ = true;
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clear(); // no current row either: none looks chosen
    }
    following_ = false;
    viewport()->update();
}

// Arriving focus makes the first row current when none is (after a new
// scan, say): that is no choice of the user's, so the session's selection
// stays where it is.
void FolderBrowserView::focusInEvent(QFocusEvent* event) {
    following_ = true;
    QTreeView::focusInEvent(event);
    following_ = false;
    followSelection();
}

void FolderBrowserView::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier) {
        if (const ScanNode* n = nodeAt(currentIndex())) {
            if (n->isDirectory()) {
                session_.dive(n);
            } else {
                session_.openItem(std::string(n->path()));
            }
        }
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FolderBrowserView::contextMenuEvent(QContextMenuEvent* event) {
    // The menu key opens the menu of the current row, beside it.
    const bool keyboard = event->reason() != QContextMenuEvent::Mouse;
    const QModelIndex index = keyboard ? currentIndex() : indexAt(event->pos());
    const ScanNode* n = nodeAt(index);
    if (!n) return;
    const QPoint at =
        keyboard ? viewport()->mapToGlobal(visualRect(index).center()) : event->globalPos();
    NodeMenu::popup(session_, *n, this, at, chosenNodes());
}

} // namespace tb
