// Name and path search over the tree in memory. Stateless; any thread, as
// long as the caller keeps the nodes' forest alive.
#pragma once

#include <stop_token>
#include <string_view>
#include <vector>

#include "scan/scan_node.h"

namespace tb::IndexSearch {

inline constexpr std::size_t hitLimit = 80;
inline constexpr std::size_t rankedLimit = 500;

// The nodes whose name, or else whose path, contains the trimmed query
// ignoring letter case, in list order, at most `hitLimit`.
std::vector<const ScanNode*> matches(std::string_view query,
                                     const std::vector<const ScanNode*>& nodes);
struct RankedHits {
    std::vector<const ScanNode*> hits; // at most the limit
    std::size_t matched = 0;           // every matching node, listed or not
};

// What a user looking for space wants first: every node whose name matches,
// largest first, then the nodes that match by path only (the contents of a
// matching folder), largest first; equal sizes keep list order. At most
// `limit`.
std::vector<const ScanNode*> ranked(std::string_view query,
                                    const std::vector<const ScanNode*>& nodes,
                                    std::size_t limit = rankedLimit);
// The same with the number of all matches, so that a list cut at the limit
// can say what it leaves out. A stop request gives no hits, at once.
RankedHits rankedHits(std::string_view query, const std::vector<const ScanNode*>& nodes,
                      std::size_t limit = rankedLimit, std::stop_token stop = {});
// The same over the root's tree flattened in pre-order; empty without a root.
std::vector<const ScanNode*> matches(std::string_view query, const ScanNode* root);

} // namespace tb::IndexSearch
