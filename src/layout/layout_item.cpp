#include "layout/layout_item.h"

namespace tb::LayoutItems {

std::string countedBucketLabel(int otherCount) {
    return "Other (" + std::to_string(otherCount) + ")";
}

std::vector<LayoutItem> from(const RankedChildren& ranked, const std::string& bucketLabel) {
    std::vector<LayoutItem> items;
    items.reserve(ranked.visible.size() + (ranked.otherCount > 0 ? 1 : 0));
    for (const ScanNode* node : ranked.visible) {
        items.push_back({node, std::string(node->name()), node->allocatedSize()});
    }
    if (ranked.otherCount > 0) items.push_back({nullptr, bucketLabel, ranked.otherBytes});
    return items;
}

std::vector<LayoutItem> from(const RankedChildren& ranked) {
    return from(ranked,
                ranked.otherCount > 0 ? countedBucketLabel(ranked.otherCount) : std::string());
}

} // namespace tb::LayoutItems
