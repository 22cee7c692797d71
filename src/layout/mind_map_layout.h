// The focus node as a point at the left and each child as a branch fanned out
// from it, top to bottom, as thick as its bytes allow. Pure and stateless;
// safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/uuid.h"
#include "layout/geometry.h"
#include "layout/layout_item.h"
#include "scan/size_ranking.h"

namespace tb {

// Holds a node pointer: keep the forest alive while it is used.
struct BranchHit {
    Uuid id;                        // the node's id, or the mind map bucket id
    const ScanNode* node = nullptr; // none for the bucket
    Point start;
    Point end;
    double thickness = 0; // line width, points
    std::string label;    // the node's name, or "Other (N)"
    std::int64_t bytes = 0;
    bool operator==(const BranchHit&) const = default;
};

namespace MindMapLayout {

inline constexpr Uuid bucketId = LayoutItems::bucketId(4);
inline constexpr double startX = 40;
inline constexpr double endColumnFactor = 0.62; // of the width
inline constexpr double bandInset = 28;         // top and bottom of the band
inline constexpr double minThickness = 1.2;
inline constexpr double thicknessRange = 5; // up to 6.2 for the largest
inline constexpr double hitDistance = 28;   // strictly closer than this

// In item order, top to bottom.
std::vector<BranchHit> hits(const RankedChildren& ranked, Size size);
// The branch whose end is nearest to `point` (the first of equals), when
// that end is less than 28 points away; the lines themselves are not hot.
std::optional<BranchHit> hit(Point point, std::span<const BranchHit> branches);

} // namespace MindMapLayout
} // namespace tb
