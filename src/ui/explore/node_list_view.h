// A list of scan nodes painted row by row, with its highlight bound to the
// session's selection: a click selects the row's node, and where asked a
// double click goes into it. Shared by the folder list, the largest files and
// the age map's file list. Interface thread only; the nodes are forgotten the
// moment the session's forest changes.
#pragma once

#include <QListView>

#include <functional>
#include <vector>

#include "scan/scan_node.h"

namespace tb {

class AppSession;

class NodeListView : public QListView {
    Q_OBJECT
public:
    using RowPainter = std::function<void(QPainter&, const QRect&, const ScanNode&)>;

    NodeListView(AppSession& session, int rowHeight, RowPainter paintRow, bool diveOnDoubleClick,
                 QWidget* parent = nullptr);

    void setNodes(std::vector<const ScanNode*> nodes);
    const std::vector<const ScanNode*>& nodes() const { return nodes_; }
    // The row's rectangle in the viewport's coordinates.
    QRect rowRect(int row) const;

private:
    class Model;
    class Delegate;

    AppSession& session_;
    std::vector<const ScanNode*> nodes_;
    Model* model_;
};

} // namespace tb
