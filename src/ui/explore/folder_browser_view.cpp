#include "ui/explore/folder_browser_view.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {

double FolderRow::barWidth(std::int64_t bytes, std::int64_t whole) {
    const double share = whole < 1 ? 0.0 : double(bytes) / double(whole);
    return std::max(barBoxWidth * share, minBarWidth);
}

void FolderRow::paint(QPainter& painter, const QRect& rect) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect row = rect.adjusted(10, 0, -10, 0);
    const int iconSize = 16;
    const QRect iconRect(row.left(), row.center().y() - iconSize / 2 + 1, iconSize, iconSize);
    DiskTheme::icon(node.isDirectory() ? "folder" : "doc").paint(&painter, iconRect);

    const QRect bytesRect(row.right() - bytesColumn, row.top(), bytesColumn, row.height());
    const QRectF barBox(bytesRect.left() - 12 - barBoxWidth, row.center().y() - barHeight / 2 + 1,
                        barBoxWidth, barHeight);
    const QRect nameRect(iconRect.right() + 9, row.top(),
                         std::max(0, int(barBox.left()) - 12 - iconRect.right() - 9), row.height());

    painter.setPen(DiskTheme::primary());
    painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(painter.font())
                         .elidedText(DiskTheme::displayText(node.name()), Qt::ElideMiddle,
                                     nameRect.width()));

    painter.setPen(Qt::NoPen);
    painter.setBrush(DiskTheme::accent(0.35));
    painter.drawRoundedRect(QRectF(barBox.left(), barBox.top(),
                                   barWidth(node.allocatedSize(), whole), barBox.height()),
                            2, 2);

    painter.setFont(DiskTheme::caption());
    painter.setPen(DiskTheme::secondary());
    painter.drawText(bytesRect, Qt::AlignRight | Qt::AlignVCenter,
                     DiskTheme::bytes(node.allocatedSize()));
}

FolderBrowserView::FolderBrowserView(AppSession& session, QWidget* parent)
    : NodeListView(
          session, FolderRow::height,
          [this](QPainter& painter, const QRect& rect, const ScanNode& node) {
              FolderRow{node, root_ ? root_->allocatedSize() : 0}.paint(painter, rect);
          },
          true, parent) {
    connect(&session, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::forest) root_ = nullptr;
    });
}

void FolderBrowserView::setRoot(const ScanNode* root) {
    root_ = root;
    if (!root) {
        setNodes({});
        return;
    }
    const auto children = root->children();
    setNodes(std::vector<const ScanNode*>(children.begin(), children.end()));
}

} // namespace tb
