// Where the arrow keys lead inside a map: from one shape to the nearest of
// its siblings (the shapes of the same folder) in the arrow's direction.
// Pure and stateless; safe from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "layout/geometry.h"
#include "scan/scan_node.h"

namespace tb::MapKeys {

enum class Arrow { left, right, up, down };

struct Shape {
    const ScanNode* parent = nullptr; // the folder whose child (or bucket) it is
    Point centre;                     // where it sits on screen
};

// The sibling of `current` whose centre lies ahead in the arrow's direction
// and is nearest, a step across counting twice a step along (the first of
// equals); none when no sibling lies ahead or `current` is out of range.
std::optional<std::size_t> step(std::span<const Shape> shapes, std::size_t current, Arrow arrow);
// Where the keys begin when no shape is current: the first shape of
// `folder`, else the first shape; none for no shapes.
std::optional<std::size_t> first(std::span<const Shape> shapes, const ScanNode* folder);

} // namespace tb::MapKeys
