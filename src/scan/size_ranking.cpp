#include "scan/size_ranking.h"

#include <unordered_set>

#include "scan/byte_sum.h"

namespace tb {

std::int64_t RankedChildren::totalVisible() const {
    std::int64_t total = otherBytes;
    for (const ScanNode* n : visible)
        total = addBytes(total, n->allocatedSize());
    return total;
}

namespace SizeLeaders {

void insert(const ScanNode* node, std::vector<const ScanNode*>& list, int limit) {
    const auto size = node->allocatedSize();
    if (static_cast<int>(list.size()) >= limit) {
        if (list.empty() || list.back()->allocatedSize() >= size) return;
        list.pop_back();
    }
    auto it = list.begin();
    while (it != list.end() && (*it)->allocatedSize() >= size)
        ++it;
    list.insert(it, node);
}

std::vector<const ScanNode*> take(std::span<const ScanNode* const> nodes, int limit) {
    std::vector<const ScanNode*> list;
    if (limit > 0) list.reserve(std::min<std::size_t>(nodes.size(), std::size_t(limit)));
    for (const ScanNode* n : nodes)
        insert(n, list, limit);
    return list;
}

} // namespace SizeLeaders

namespace MapLayout {

RankedChildren ranked(std::span<const ScanNode* const> nodes, int limit) {
    RankedChildren out;
    if (static_cast<std::int64_t>(nodes.size()) <= limit) {
        out.visible.assign(nodes.begin(), nodes.end());
        return out;
    }
    out.visible = SizeLeaders::take(nodes, limit);
    // The visible list is tiny: a linear membership test beats hashing. Each
    // node is one object, so its address stands for its id.
    for (const ScanNode* n : nodes) {
        bool shown = false;
        for (const ScanNode* v : out.visible) {
            if (v == n) {
                shown = true;
                break;
            }
        }
        if (!shown) {
            out.otherBytes = addBytes(out.otherBytes, n->allocatedSize());
            ++out.otherCount;
        }
    }
    return out;
}

RankedChildren ranked(std::span<ScanNode* const> nodes, int limit) {
    return ranked(std::span<const ScanNode* const>(nodes.data(), nodes.size()), limit);
}

} // namespace MapLayout
} // namespace tb
