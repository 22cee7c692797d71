// What every map layout draws, one entry per shape: the ranked visible
// children, then the bucket for the rest when there is one. Stateless.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/uuid.h"
#include "scan/size_ranking.h"

namespace tb {

struct LayoutItem {
    const ScanNode* node = nullptr; // none for the bucket
    std::string label;              // the node's name, or the bucket label
    std::int64_t bytes = 0;         // allocatedSize, or otherBytes
    bool operator==(const LayoutItem&) const = default;
};

namespace LayoutItems {
// "Other (7)".
std::string countedBucketLabel(int otherCount);
// The visible nodes in ranked order, then the bucket (labelled `bucketLabel`)
// only when `otherCount` > 0.
std::vector<LayoutItem> from(const RankedChildren& ranked, const std::string& bucketLabel);
// The same with the counted label.
std::vector<LayoutItem> from(const RankedChildren& ranked);

// "aaaaaaaa-0000-4000-8000-00000000000N": the identity a layout gives its
// bucket shape, the same on every redraw.
constexpr Uuid bucketId(std::uint8_t layoutNumber) {
    return Uuid{{0xaa, 0xaa, 0xaa, 0xaa, 0x00, 0x00, 0x40, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00,
                 0x00, layoutNumber}};
}
} // namespace LayoutItems

} // namespace tb
