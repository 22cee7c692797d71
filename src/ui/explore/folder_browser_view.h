// The focus node's children as a list, largest first, each row with a bar of
// its share of the focus node's bytes. A click selects; a double click goes
// into a folder.
#pragma once

#include <cstdint>

#include "ui/explore/node_list_view.h"

class QPainter;
class QRect;

namespace tb {

// One row of the folder list: icon, name, share bar and byte count.
struct FolderRow {
    static constexpr int height = 30;
    static constexpr double barBoxWidth = 72;
    static constexpr double barHeight = 6;
    static constexpr double minBarWidth = 3;
    static constexpr int bytesColumn = 72;

    const ScanNode& node;
    std::int64_t whole;  // the bytes the bar is measured against

    // max(72 × bytes ÷ whole, 3); the share is 0 when `whole` is below 1.
    static double barWidth(std::int64_t bytes, std::int64_t whole);
    void paint(QPainter& painter, const QRect& rect) const;
};

class FolderBrowserView : public NodeListView {
    Q_OBJECT
public:
    explicit FolderBrowserView(AppSession& session, QWidget* parent = nullptr);

    void setRoot(const ScanNode* root);
    const ScanNode* root() const { return root_; }

private:
    const ScanNode* root_ = nullptr;
};

} // namespace tb
