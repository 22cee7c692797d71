#include "ui/explore/node_list_view.h"

#include <QAbstractListModel>
#include <QPainter>
#include <QStyledItemDelegate>

#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {

class NodeListView::Model : public QAbstractListModel {
public:
    Model(const std::vector<const ScanNode*>& nodes, QObject* parent)
        : QAbstractListModel(parent), nodes_(nodes) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(nodes_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        if (!index.isValid() || std::size_t(index.row()) >= nodes_.size()) return {};
        const ScanNode* node = nodes_[std::size_t(index.row())];
        if (role == Qt::ToolTipRole) return DiskTheme::toolTipText(node->path());
        return DiskTheme::displayText(node->name());
    }
    void reset(const std::function<void()>& change) {
        beginResetModel();
        change();
        endResetModel();
    }

private:
    const std::vector<const ScanNode*>& nodes_;
};

class NodeListView::Delegate : public QStyledItemDelegate {
public:
    Delegate(NodeListView& view, int rowHeight, RowPainter paintRow)
        : QStyledItemDelegate(&view),
          view_(view),
          rowHeight_(rowHeight),
          paintRow_(std::move(paintRow)) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto row = std::size_t(index.row());
        if (row >= view_.nodes_.size()) return;
        const ScanNode& node = *view_.nodes_[row];
        const ScanNode* selected = view_.session_.selected();
        painter->save();
        if (selected && selected->id() == node.id()) {
            painter->fillRect(option.rect, DiskTheme::accent(0.14));
        }
        paintRow_(*painter, option.rect, node);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(200, rowHeight_);
    }

private:
    NodeListView& view_;
    int rowHeight_;
    RowPainter paintRow_;
};

NodeListView::NodeListView(AppSession& session, int rowHeight, RowPainter paintRow,
                           bool diveOnDoubleClick, QWidget* parent)
    : QListView(parent), session_(session), model_(new Model(nodes_, this)) {
    setModel(model_);
    setItemDelegate(new Delegate(*this, rowHeight, std::move(paintRow)));
    setUniformItemSizes(true);
    // The highlight follows the session's selection, not the view's own.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);

    connect(this, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (std::size_t(index.row()) < nodes_.size())
            session_.select(nodes_[std::size_t(index.row())]);
    });
    if (diveOnDoubleClick) {
        connect(this, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
            if (std::size_t(index.row()) < nodes_.size())
                session_.dive(nodes_[std::size_t(index.row())]);
        });
    }
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        // The old forest may already be gone: drop its pointers unread.
        if (field == SessionField::forest) setNodes({});
        if (field == SessionField::selected) viewport()->update();
    });
}

void NodeListView::setNodes(std::vector<const ScanNode*> nodes) {
    if (nodes == nodes_) return;
    model_->reset([&] { nodes_ = std::move(nodes); });
    scrollToTop();
}

QRect NodeListView::rowRect(int row) const {
    return visualRect(model_->index(row));
}

} // namespace tb
