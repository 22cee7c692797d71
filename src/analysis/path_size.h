// The on-demand size probe: the allocated bytes of a file or folder measured
// on disk with a bounded deep enumeration, or looked up in a scanned tree
// first. Blocking file-system work: call it off the interface thread.
// Stateless; any thread.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

namespace tb {

class ScanNode;

// Path to allocated size over a tree's nodes, valid while the forest (or
// tree) that owns them is alive. Nodes keep names, not paths, so it keeps a
// hash of each path and rebuilds the few paths a lookup lands on: 16 bytes
// an entry rather than a copy of every path.
class PathSizeIndex {
public:
    PathSizeIndex() = default;
    // A later node with the same path wins.
    explicit PathSizeIndex(std::vector<const ScanNode*> nodes);

    std::optional<std::int64_t> find(std::string_view path) const;
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

private:
    struct Entry {
        std::uint64_t hash;
        const ScanNode* node;
    };
    std::vector<Entry> entries_; // by hash, then in the nodes' order
};

namespace PathSize {

// No cap: a sum cut at some count would still be shown as the folder's size.
// Probes run off the interface thread and stop when asked.
inline constexpr int defaultCap = std::numeric_limits<int>::max();

// A file's allocated bytes, or the sum over every item below a folder, at
// most `cap` items (folders count too); a probe that hits the cap, or is
// stopped, returns the partial sum. Unreadable items add 0.
std::int64_t allocated(const std::string& path, int cap = defaultCap, std::stop_token stop = {});

// One entry per node; a later node with the same path wins.
PathSizeIndex indexMap(std::span<const ScanNode* const> nodes);
// The node and all its descendants; empty for none.
PathSizeIndex indexMap(const ScanNode* subtree);

// The indexed size when the path was scanned, else a probe.
std::int64_t allocated(const std::string& path, const PathSizeIndex& index,
                       std::stop_token stop = {});
std::int64_t allocated(const std::string& path, const ScanNode* subtree, std::stop_token stop = {});

} // namespace PathSize

} // namespace tb
