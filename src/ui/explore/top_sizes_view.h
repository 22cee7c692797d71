// The largest files: the scan's own list when there is one, otherwise the
// largest files directly inside the focus node. A click selects.
#pragma once

#include <vector>

#include "ui/explore/node_list_view.h"

namespace tb {

class TopSizesView : public NodeListView {
    Q_OBJECT
public:
    static constexpr int rowLimit = 80;
    static constexpr int bytesColumn = 80;

    explicit TopSizesView(AppSession& session, QWidget* parent = nullptr);

    // `ranked`: the scan's largest files, or empty.
    void setRoot(const ScanNode* root, std::vector<const ScanNode*> ranked);
    const ScanNode* root() const { return root_; }

    // `ranked` when it is not empty; otherwise the files among `root`'s
    // children, largest first (stable), at most 80.
    static std::vector<const ScanNode*> rows(const ScanNode* root,
                                             std::vector<const ScanNode*> ranked);

private:
    const ScanNode* root_ = nullptr;
};

} // namespace tb
