// One ring of wedges around the centre of the area, each wedge's angle its
// share of the bytes, starting straight up and running clockwise. Pure and
// stateless; safe from any thread.
#pragma once

#include <cstdint>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/uuid.h"
#include "layout/geometry.h"
#include "layout/layout_item.h"
#include "layout/map_depth.h"
#include "scan/size_ranking.h"

namespace tb {

// Holds a node pointer: keep the forest alive while it is used.
struct WedgeHit {
    Uuid id;                        // the node's id, or the sunburst's bucket id
    const ScanNode* node = nullptr; // none for the bucket
    double start = 0;               // radians; end >= start
    double end = 0;
    double inner = 0; // radii, points
    double outer = 0;
    std::string label; // the node's name, or "Other"
    std::int64_t bytes = 0;
    // Rings only: the ring (0 innermost) and the folder whose child or
    // bucket this is.
    int depth = 0;
    const ScanNode* parent = nullptr;
    bool operator==(const WedgeHit&) const = default;
};

namespace SunburstLayout {

inline constexpr Uuid bucketId = LayoutItems::bucketId(2);
inline constexpr double outerRadiusFactor = 0.46;           // of the smaller side
inline constexpr double innerRadiusFactor = 0.28;           // of the outer radius
inline constexpr double startAngle = -std::numbers::pi / 2; // straight up

// In angle order; the ring is centred in the area (not stored in the records).
std::vector<WedgeHit> hits(const RankedChildren& ranked, Size size);
inline constexpr int maxRings = 4;
// A wedge whose arc at its middle radius is shorter than this is not drawn,
// and its folder's ring is not opened.
inline constexpr double minArc = 1.5;
// With all levels, as many rings as the tree's drawn wedges reach, but none
// thinner than this.
inline constexpr double minRingWidth = 14;

// One ring per level below `root`, `depth` clamped to 1..maxRings, or, for
// MapDepth::all, as many as described at minRingWidth: the root's
// ranked children in the first ring (as `hits`), and in every further ring
// the ranked children of each folder wedge of the ring inside it, within that
// wedge's angles. The rings share the width between the hole and the outer
// radius. Parents before children; bucket wedges of deeper rings have an
// identity derived from their folder.
std::vector<WedgeHit> rings(const ScanNode* root, Size size, int depth);
// The wedge under `point` in an area of `size`; nothing in the hole or
// outside the ring, and nothing at all on a ring without width (an empty
// area).
std::optional<WedgeHit> hit(Point point, Size size, std::span<const WedgeHit> wedges);

} // namespace SunburstLayout
} // namespace tb
