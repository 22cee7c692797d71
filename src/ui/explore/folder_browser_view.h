// The focus node's children as a tree: every folder row opens in place, and
// the columns name, size (with a bar of the row's share of its parent), share
// of the parent, items below it and modification date (for a folder the
// newest anywhere below it) sort on a click of their header (size, largest
// first, by default). The current row follows
// and sets the session's selection. Keys: arrows move, Right and Left open
// and close a folder, Return goes into a folder or opens a file, typing a
// name finds it. A double click goes into a folder. Shift and Ctrl choose
// several rows for Move to Trash and the queue; the current one is the
// session's selection.
// Interface thread only; the rows are forgotten when the forest changes.
#pragma once

#include <QAbstractItemModel>
#include <QTreeView>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "scan/scan_node.h"
#include "scan/subtree_times.h"

namespace tb {

class AppSession;

// The bar of a row: its share of its parent's bytes.
struct FolderRow {
    static constexpr int height = 26;
    static constexpr double barBoxWidth = 72;
    static constexpr double barHeight = 6;
    static constexpr double minBarWidth = 3;

    // max(72 × bytes ÷ whole, 3); the share is 0 when `whole` is below 1.
    static double barWidth(std::int64_t bytes, std::int64_t whole);
};

class FolderTreeModel;

class FolderBrowserView : public QTreeView {
    Q_OBJECT
public:
    enum Column { nameColumn, sizeColumn, shareColumn, itemsColumn, modifiedColumn, columnCount };

    explicit FolderBrowserView(AppSession& session, QWidget* parent = nullptr);

    void setRoot(const ScanNode* root);
    const ScanNode* root() const { return root_; }
    // The top-level rows in their current order.
    const std::vector<const ScanNode*>& nodes() const;
    // The row's rectangle in the viewport's coordinates.
    QRect rowRect(int row) const;
    FolderTreeModel* treeModel() const { return model_; }
    // The chosen rows (Shift and Ctrl choose several), top to bottom.
    std::vector<const ScanNode*> chosenNodes() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void followSelection();
    const ScanNode* nodeAt(const QModelIndex& index) const;

    AppSession& session_;
    FolderTreeModel* model_;
    const ScanNode* root_ = nullptr;
    bool following_ = false;
};

// The rows of the tree, built folder by folder as they are opened. Rows hold
// node pointers of the session's forest.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using QAbstractItemModel::QAbstractItemModel;

    void setRoot(const ScanNode* root);
    const ScanNode* node(const QModelIndex& index) const;
    // The index of a node whose folder's rows exist; invalid otherwise.
    QModelIndex indexOf(const ScanNode* node, int column = 0) const;
    const ScanNode* parentOf(const ScanNode* node) const;
    // Entries below a folder, all levels; 0 for a file.
    std::int64_t itemCount(const ScanNode* node) const;
    // A file's own time; a folder's newest time anywhere below it.
    Date modified(const ScanNode* node) const;
    const std::vector<const ScanNode*>& rowsOf(const ScanNode* folder) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    struct Place {
        const ScanNode* parent;
        int row;
    };
    void sortRows(std::vector<const ScanNode*>& rows) const;

    const ScanNode* root_ = nullptr;
    int sortColumn_ = FolderBrowserView::sizeColumn;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
    mutable std::unordered_map<const ScanNode*, std::vector<const ScanNode*>> rows_;
    mutable std::unordered_map<const ScanNode*, Place> places_;
    mutable std::unordered_map<const ScanNode*, std::int64_t> counts_;
    // Filled for the root's whole subtree at the first question.
    mutable SubtreeTimes::Table newest_;
};

} // namespace tb
