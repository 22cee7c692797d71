// The on-demand size probe: the allocated bytes of a file or folder measured
// on disk with a bounded deep enumeration, or looked up in a scanned tree
// first. Blocking file-system work: call it off the interface thread.
// Stateless; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tb {

class ScanNode;

// Path to allocated size. The keys are views of the nodes' own path bytes:
// the map is valid while the forest (or tree) that owns the nodes is alive.
using PathSizeIndex = std::unordered_map<std::string, std::int64_t>;

namespace PathSize {

inline constexpr int defaultCap = 20000;

// A file's allocated bytes, or the sum over every item below a folder, at
// most `cap` items (folders count too); a probe that hits the cap, or is
// stopped, returns the partial sum. Unreadable items add 0.
std::int64_t allocated(const std::string& path, int cap = defaultCap, std::stop_token stop = {});

// One entry per node; a later node with the same path wins.
PathSizeIndex indexMap(std::span<const ScanNode* const> nodes);
// The node and all its descendants; empty for none.
PathSizeIndex indexMap(const ScanNode* subtree);

// The indexed size when the path was scanned, else a probe capped at 20000.
std::int64_t allocated(const std::string& path, const PathSizeIndex& index,
                       std::stop_token stop = {});
std::int64_t allocated(const std::string& path, const ScanNode* subtree,
                       std::stop_token stop = {});

} // namespace PathSize

} // namespace tb
