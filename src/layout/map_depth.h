// How many levels the nested maps (treemap, sunburst rings) draw at once: a
// number of levels, or every level down to where shapes become too small to
// see.
#pragma once

#include <limits>

namespace tb::MapDepth {

inline constexpr int deepestNumbered = 4;
inline constexpr int all = std::numeric_limits<int>::max();

// 1 for anything below 1; a number above the numbered ones means all.
constexpr int normalized(int depth) {
    return depth < 1 ? 1 : depth > deepestNumbered ? all : depth;
}

} // namespace tb::MapDepth
