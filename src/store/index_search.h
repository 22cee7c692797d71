// Name and path search over the tree in memory. Stateless; any thread, as
// long as the caller keeps the nodes' forest alive.
#pragma once

#include <string_view>
#include <vector>

#include "scan/scan_node.h"

namespace tb::IndexSearch {

inline constexpr std::size_t hitLimit = 80;

// The nodes whose name, or else whose path, contains the trimmed query
// ignoring letter case, in list order, at most `hitLimit`.
std::vector<const ScanNode*> matches(std::string_view query,
                                     const std::vector<const ScanNode*>& nodes);
// The same over the root's tree flattened in pre-order; empty without a root.
std::vector<const ScanNode*> matches(std::string_view query, const ScanNode* root);

} // namespace tb::IndexSearch
