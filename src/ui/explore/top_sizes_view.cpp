#include "ui/explore/top_sizes_view.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {

namespace {

constexpr int rowHeight = 40;

void paintFileRow(QPainter& painter, const QRect& rect, const ScanNode& node) {
    const QRect row = rect.adjusted(10, 4, -10, -4);
    const QRect bytesRect(row.right() - TopSizesView::bytesColumn, row.top(),
                          TopSizesView::bytesColumn, row.height());
    const int textWidth = std::max(0, bytesRect.left() - 12 - row.left());
    const QRect nameRect(row.left(), row.top(), textWidth, row.height() / 2);
    const QRect pathRect(row.left(), row.top() + row.height() / 2, textWidth, row.height() / 2);

    painter.setPen(DiskTheme::primary());
    painter.drawText(
        nameRect, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetricsF(painter.font())
            .elidedText(DiskTheme::displayText(node.name()), Qt::ElideMiddle, textWidth));
    painter.setFont(DiskTheme::caption());
    painter.setPen(DiskTheme::secondary());
    const QFontMetricsF caption(painter.font());
    painter.drawText(
        pathRect, Qt::AlignLeft | Qt::AlignVCenter,
        caption.elidedText(DiskTheme::displayText(node.path()), Qt::ElideMiddle, textWidth));
    painter.drawText(bytesRect, Qt::AlignRight | Qt::AlignVCenter,
                     DiskTheme::bytes(node.allocatedSize()));
}

} // namespace

TopSizesView::TopSizesView(AppSession& session, QWidget* parent)
    : NodeListView(session, rowHeight, paintFileRow, false, parent) {
    connect(&session, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::forest) root_ = nullptr;
    });
}

std::vector<const ScanNode*> TopSizesView::rows(const ScanNode* root,
                                                std::vector<const ScanNode*> ranked) {
    if (!ranked.empty() || !root) return ranked;
    std::vector<const ScanNode*> files;
    for (const ScanNode* child : root->children()) {
        if (!child->isDirectory()) files.push_back(child);
    }
    std::stable_sort(files.begin(), files.end(), [](const ScanNode* a, const ScanNode* b) {
        return a->allocatedSize() > b->allocatedSize();
    });
    if (files.size() > std::size_t(rowLimit)) files.resize(std::size_t(rowLimit));
    return files;
}

void TopSizesView::setRoot(const ScanNode* root, std::vector<const ScanNode*> ranked) {
    root_ = root;
    setNodes(rows(root, std::move(ranked)));
}

} // namespace tb
