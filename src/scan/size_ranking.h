// Ranking by allocated size: a bounded top list, and the children a map draws
// one by one plus one bucket for the rest. Stateless.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "scan/scan_node.h"

namespace tb {

struct RankedChildren {
    std::vector<const ScanNode*> visible;
    std::int64_t otherBytes = 0;
    int otherCount = 0;

    std::int64_t totalVisible() const;
    bool operator==(const RankedChildren&) const = default;
};

namespace SizeLeaders {
// Keeps `list` largest first; a newcomer goes behind its equals and is
// dropped when the list is full and it is not strictly larger than the last.
void insert(const ScanNode* node, std::vector<const ScanNode*>& list, int limit);
std::vector<const ScanNode*> take(std::span<const ScanNode* const> nodes, int limit);
} // namespace SizeLeaders

namespace MapLayout {
inline constexpr int visibleLimit = 12;
RankedChildren ranked(std::span<const ScanNode* const> nodes, int limit);
// Convenience for a node's children.
RankedChildren ranked(std::span<ScanNode* const> nodes, int limit);
} // namespace MapLayout

} // namespace tb
