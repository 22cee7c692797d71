// A rectangle a map draws and tests the pointer against (treemap tiles and
// flame bars). Holds a node pointer: keep the forest alive while it is used.
#pragma once

#include <cstdint>
#include <string>

#include "base/uuid.h"
#include "layout/geometry.h"
#include "scan/scan_node.h"

namespace tb {

struct RectHit {
    Uuid id;                        // the node's id, or the layout's bucket id
    const ScanNode* node = nullptr; // none for the bucket
    Rect rect;
    std::string label;
    std::int64_t bytes = 0;
    // Nested maps only: the level below the focus node (0 for its children),
    // the folder whose child or bucket this is, and whether the folder's
    // children are drawn inside it below a header strip.
    int depth = 0;
    const ScanNode* parent = nullptr;
    bool framed = false;
    bool operator==(const RectHit&) const = default;
};

} // namespace tb
